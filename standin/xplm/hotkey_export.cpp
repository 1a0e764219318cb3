// XPLMRegisterHotKey as the simulator's own build sees it: the key code parameter is a char, but
// a caller that passes 0x80-0xFF sign-extended leaves a negative value in the register. Declared
// here with an int parameter (the SDK header is not included) so the stand-in can report what
// actually arrived.
extern "C" {

void* RegisterHotKeyRaw(int rawVirtualKey, int inFlags, const char* inDescription, void* inCallback,
                        void* inRefcon);

__declspec(dllexport) void* XPLMRegisterHotKey(int inVirtualKey, int inFlags, const char* inDescription,
                                               void* inCallback, void* inRefcon) {
    return RegisterHotKeyRaw(inVirtualKey, inFlags, inDescription, inCallback, inRefcon);
}

}  // extern "C"
