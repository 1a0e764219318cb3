// Plug-in datarefs: published with accessor callbacks, or shared with storage kept here.
#include <algorithm>
#include <cstring>

#include "areas.h"
#include "owned_data.h"
#include "world.h"

namespace sim {
namespace {

struct Sharer {
    XPLMDataChanged_f fn;
    void* refcon;
    int owner;
};

struct Owned {
    std::string name;
    XPLMDataTypeID types = 0;
    bool writable = false;
    int owner = 0;
    bool dead = false;
    XPLMGetDatai_f geti = nullptr;
    XPLMSetDatai_f seti = nullptr;
    XPLMGetDataf_f getf = nullptr;
    XPLMSetDataf_f setf = nullptr;
    XPLMGetDatad_f getd = nullptr;
    XPLMSetDatad_f setd = nullptr;
    XPLMGetDatavi_f getvi = nullptr;
    XPLMSetDatavi_f setvi = nullptr;
    XPLMGetDatavf_f getvf = nullptr;
    XPLMSetDatavf_f setvf = nullptr;
    XPLMGetDatab_f getb = nullptr;
    XPLMSetDatab_f setb = nullptr;
    void* readRefcon = nullptr;
    void* writeRefcon = nullptr;
    // Shared data: the value lives here and every sharer hears of changes.
    bool shared = false;
    double scalar = 0;
    std::vector<unsigned char> bytes;  // arrays and blobs, element by element
    std::vector<Sharer> sharers;
};

// Records are never freed. As in the simulator, a dataref whose publisher unregistered it (or
// whose last sharer left, or whose plug-in went away) is orphaned, not gone: a handle kept from
// before stays valid, is no longer good, reads 0 (0 items) and takes no writes, and that is no
// fault of the reader. Registered again under its name, the same record (and handle) lives again.
std::vector<std::unique_ptr<Owned>> g_owned;

Owned* Find(XPLMDataRef ref) {
    for (auto& o : g_owned)
        if (o.get() == ref) return o.get();
    return nullptr;
}

Owned* Orphan(const char* name) {
    for (auto it = g_owned.rbegin(); it != g_owned.rend(); ++it)
        if ((*it)->dead && (*it)->name == name) return it->get();
    return nullptr;
}

// A read or write the dataref offers no callback for: the simulator answers 0 and does nothing.
bool Offers(Owned* o, const void* callback, const char* api) {
    if (callback) return true;
    Misuse(Format("%s: dataref %s has no such accessor", api, o->name.c_str()));
    return false;
}

bool CanWrite(Owned* o, XPLMDataTypeID type, const void* callback, const char* api) {
    if (o->dead) {
        // An orphan takes no writes, which the writer could not know; a type outside its set is
        // a fault all the same.
        if (!(o->types & type)) Misuse(Format("%s: dataref %s has no such accessor", api, o->name.c_str()));
        return false;
    }
    if (!o->writable) {
        Misuse(Format("%s: dataref %s is read-only", api, o->name.c_str()));
        return false;
    }
    return Offers(o, callback, api);
}

// ---- storage of shared datarefs
void Notify(Owned* o) {
    std::vector<Sharer> sharers = o->sharers;  // a sharer may unshare from its callback
    for (const Sharer& s : sharers) {
        if (!s.fn) continue;
        PluginScope scope(s.owner, "shared dataref");
        s.fn(s.refcon);
    }
}

Owned* Storage(void* refcon) { return static_cast<Owned*>(refcon); }
int SGeti(void* r) { return (int)Storage(r)->scalar; }
void SSeti(void* r, int v) { Storage(r)->scalar = v; Notify(Storage(r)); }
float SGetf(void* r) { return (float)Storage(r)->scalar; }
void SSetf(void* r, float v) { Storage(r)->scalar = v; Notify(Storage(r)); }
double SGetd(void* r) { return Storage(r)->scalar; }
void SSetd(void* r, double v) { Storage(r)->scalar = v; Notify(Storage(r)); }

template <typename T>
int ReadArray(Owned* o, T* out, int offset, int max) {
    int size = (int)(o->bytes.size() / sizeof(T));
    if (!out) return size;  // a null buffer asks for the size
    if (offset < 0 || max < 0 || offset >= size) return 0;
    int n = std::min(max, size - offset);
    memcpy(out, o->bytes.data() + (size_t)offset * sizeof(T), (size_t)n * sizeof(T));
    return n;
}

template <typename T>
void WriteArray(Owned* o, const T* in, int offset, int count) {
    if (!in || offset < 0 || count <= 0) return;
    size_t end = ((size_t)offset + (size_t)count) * sizeof(T);
    if (end > o->bytes.size()) o->bytes.resize(end, 0);  // shared arrays grow to what is written
    memcpy(o->bytes.data() + (size_t)offset * sizeof(T), in, (size_t)count * sizeof(T));
    Notify(o);
}

int SGetvi(void* r, int* v, int off, int max) { return ReadArray(Storage(r), v, off, max); }
void SSetvi(void* r, int* v, int off, int n) { WriteArray(Storage(r), v, off, n); }
int SGetvf(void* r, float* v, int off, int max) { return ReadArray(Storage(r), v, off, max); }
void SSetvf(void* r, float* v, int off, int n) { WriteArray(Storage(r), v, off, n); }
int SGetb(void* r, void* v, int off, int max) {
    return ReadArray(Storage(r), static_cast<unsigned char*>(v), off, max);
}
void SSetb(void* r, void* v, int off, int n) { WriteArray(Storage(r), static_cast<unsigned char*>(v), off, n); }

bool NameTaken(const char* name) {
    double ignored;
    return SIM_GetDataref(name, &ignored) != 0 || FindOwnedDataRef(name) != nullptr;
}

}  // namespace

XPLMDataRef FindOwnedDataRef(const char* name) {
    if (!name) return nullptr;
    for (auto& o : g_owned)
        if (!o->dead && o->name == name) return o.get();
    return nullptr;
}

bool IsOwnedDataRef(XPLMDataRef ref) { return ref && Find(ref); }

int OwnedTypes(XPLMDataRef ref) {
    Owned* o = Find(ref);
    return o ? o->types : xplmType_Unknown;
}
bool OwnedWritable(XPLMDataRef ref) {
    Owned* o = Find(ref);
    return o && !o->dead && o->writable;
}
bool OwnedGood(XPLMDataRef ref) {
    Owned* o = Find(ref);
    return o && !o->dead;
}

#define OWNED_READ(api, cb, fallback, ...)                                                     \
    Owned* o = Find(ref);                                                                      \
    if (!o || !Offers(o, reinterpret_cast<const void*>(o->cb), api) || o->dead) return fallback; \
    PluginScope scope(o->owner, "dataref");                                                    \
    return o->cb(o->readRefcon, ##__VA_ARGS__)
#define OWNED_WRITE(api, cb, type, ...)                                              \
    Owned* o = Find(ref);                                                             \
    if (!o || !CanWrite(o, type, reinterpret_cast<const void*>(o->cb), api)) return;  \
    PluginScope scope(o->owner, "dataref");                                     \
    o->cb(o->writeRefcon, __VA_ARGS__)

int OwnedGeti(XPLMDataRef ref) { OWNED_READ("XPLMGetDatai", geti, 0); }
void OwnedSeti(XPLMDataRef ref, int value) { OWNED_WRITE("XPLMSetDatai", seti, xplmType_Int, value); }
float OwnedGetf(XPLMDataRef ref) { OWNED_READ("XPLMGetDataf", getf, 0.0f); }
void OwnedSetf(XPLMDataRef ref, float value) { OWNED_WRITE("XPLMSetDataf", setf, xplmType_Float, value); }
double OwnedGetd(XPLMDataRef ref) { OWNED_READ("XPLMGetDatad", getd, 0.0); }
void OwnedSetd(XPLMDataRef ref, double value) { OWNED_WRITE("XPLMSetDatad", setd, xplmType_Double, value); }
int OwnedGetvi(XPLMDataRef ref, int* values, int offset, int max) {
    OWNED_READ("XPLMGetDatavi", getvi, 0, values, offset, max);
}
void OwnedSetvi(XPLMDataRef ref, int* values, int offset, int count) {
    OWNED_WRITE("XPLMSetDatavi", setvi, xplmType_IntArray, values, offset, count);
}
int OwnedGetvf(XPLMDataRef ref, float* values, int offset, int max) {
    OWNED_READ("XPLMGetDatavf", getvf, 0, values, offset, max);
}
void OwnedSetvf(XPLMDataRef ref, float* values, int offset, int count) {
    OWNED_WRITE("XPLMSetDatavf", setvf, xplmType_FloatArray, values, offset, count);
}
int OwnedGetb(XPLMDataRef ref, void* value, int offset, int max) {
    OWNED_READ("XPLMGetDatab", getb, 0, value, offset, max);
}
void OwnedSetb(XPLMDataRef ref, void* value, int offset, int length) {
    OWNED_WRITE("XPLMSetDatab", setb, xplmType_Data, value, offset, length);
}

void ResetOwnedData() {
    for (auto& o : g_owned) {
        o->dead = true;
        o->sharers.clear();
    }
}

void ForgetOwnedData(int pluginId) {
    for (auto& o : g_owned) {
        if (o->dead) continue;
        if (!o->shared && o->owner == pluginId) o->dead = true;
        if (o->shared) {
            o->sharers.erase(std::remove_if(o->sharers.begin(), o->sharers.end(),
                                            [pluginId](const Sharer& s) { return s.owner == pluginId; }),
                             o->sharers.end());
            if (o->sharers.empty()) o->dead = true;
        }
    }
}

}  // namespace sim

using namespace sim;

extern "C" {

XPLM_API XPLMDataRef XPLMRegisterDataAccessor(const char* inDataName, XPLMDataTypeID inDataType, int inIsWritable,
                                              XPLMGetDatai_f inReadInt, XPLMSetDatai_f inWriteInt,
                                              XPLMGetDataf_f inReadFloat, XPLMSetDataf_f inWriteFloat,
                                              XPLMGetDatad_f inReadDouble, XPLMSetDatad_f inWriteDouble,
                                              XPLMGetDatavi_f inReadIntArray, XPLMSetDatavi_f inWriteIntArray,
                                              XPLMGetDatavf_f inReadFloatArray, XPLMSetDatavf_f inWriteFloatArray,
                                              XPLMGetDatab_f inReadData, XPLMSetDatab_f inWriteData,
                                              void* inReadRefcon, void* inWriteRefcon) {
    ApiCall("XPLMRegisterDataAccessor");
    if (!inDataName || !*inDataName) {
        Misuse("XPLMRegisterDataAccessor: no name");
        return nullptr;
    }
    if (NameTaken(inDataName)) {
        Misuse(Format("XPLMRegisterDataAccessor: dataref %s already exists", inDataName));
        return nullptr;
    }
    Owned* o = Orphan(inDataName);
    if (!o) {
        g_owned.push_back(std::make_unique<Owned>());
        o = g_owned.back().get();
    }
    *o = Owned();
    o->name = inDataName;
    o->types = inDataType;
    o->writable = inIsWritable != 0;
    o->owner = CurrentPlugin();
    o->geti = inReadInt;
    o->seti = inWriteInt;
    o->getf = inReadFloat;
    o->setf = inWriteFloat;
    o->getd = inReadDouble;
    o->setd = inWriteDouble;
    o->getvi = inReadIntArray;
    o->setvi = inWriteIntArray;
    o->getvf = inReadFloatArray;
    o->setvf = inWriteFloatArray;
    o->getb = inReadData;
    o->setb = inWriteData;
    o->readRefcon = inReadRefcon;
    o->writeRefcon = inWriteRefcon;
    return o;
}

XPLM_API void XPLMUnregisterDataAccessor(XPLMDataRef inDataRef) {
    ApiCall("XPLMUnregisterDataAccessor");
    Owned* o = Find(inDataRef);
    if (!o || o->dead || o->shared || o->owner != CurrentPlugin()) {
        Misuse(Format("XPLMUnregisterDataAccessor: not a dataref this plug-in registered (%p)", inDataRef));
        return;
    }
    o->dead = true;
}

XPLM_API int XPLMShareData(const char* inDataName, XPLMDataTypeID inDataType, XPLMDataChanged_f inNotificationFunc,
                           void* inNotificationRefcon) {
    ApiCall("XPLMShareData");
    if (!inDataName || !*inDataName) return 0;
    Owned* o = static_cast<Owned*>(FindOwnedDataRef(inDataName));
    if (o && (!o->shared || o->types != inDataType)) return 0;  // there, but of another type or kind
    if (!o) {
        double ignored;
        if (SIM_GetDataref(inDataName, &ignored)) return 0;  // one of the simulator's own
        const XPLMDataTypeID kinds[] = {xplmType_Int,        xplmType_Float,    xplmType_Double,
                                        xplmType_FloatArray, xplmType_IntArray, xplmType_Data};
        if (std::find(std::begin(kinds), std::end(kinds), inDataType) == std::end(kinds)) {
            Misuse(Format("XPLMShareData: %s with type %d", inDataName, inDataType));
            return 0;
        }
        o = Orphan(inDataName);
        if (!o) {
            g_owned.push_back(std::make_unique<Owned>());
            o = g_owned.back().get();
        }
        *o = Owned();
        o->name = inDataName;
        o->types = inDataType;
        o->writable = true;
        o->shared = true;
        o->owner = 0;  // the simulator keeps shared data
        o->readRefcon = o->writeRefcon = o;
        if (inDataType == xplmType_Int) o->geti = SGeti, o->seti = SSeti;
        if (inDataType == xplmType_Float) o->getf = SGetf, o->setf = SSetf;
        if (inDataType == xplmType_Double) o->getd = SGetd, o->setd = SSetd;
        if (inDataType == xplmType_IntArray) o->getvi = SGetvi, o->setvi = SSetvi;
        if (inDataType == xplmType_FloatArray) o->getvf = SGetvf, o->setvf = SSetvf;
        if (inDataType == xplmType_Data) o->getb = SGetb, o->setb = SSetb;
    }
    o->sharers.push_back({inNotificationFunc, inNotificationRefcon, CurrentPlugin()});
    return 1;
}

XPLM_API int XPLMUnshareData(const char* inDataName, XPLMDataTypeID inDataType,
                             XPLMDataChanged_f inNotificationFunc, void* inNotificationRefcon) {
    ApiCall("XPLMUnshareData");
    Owned* o = static_cast<Owned*>(FindOwnedDataRef(inDataName));
    if (!o || !o->shared || o->types != inDataType) return 0;
    int me = CurrentPlugin();
    for (auto it = o->sharers.begin(); it != o->sharers.end(); ++it) {
        if (it->fn != inNotificationFunc || it->refcon != inNotificationRefcon || it->owner != me) continue;
        o->sharers.erase(it);
        // The last one out takes the data with it; handles kept are orphans from then on.
        if (o->sharers.empty()) o->dead = true;
        return 1;
    }
    return 0;
}

}  // extern "C"
