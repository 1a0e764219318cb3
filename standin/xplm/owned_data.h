#pragma once
// Datarefs that plug-ins publish (XPLMRegisterDataAccessor) or share (XPLMShareData). The
// simulator's own datarefs (data.cpp) hand handles of these over to the functions here.
#include "XPLMDataAccess.h"

namespace sim {

XPLMDataRef FindOwnedDataRef(const char* name);  // null when no live one has the name
bool IsOwnedDataRef(XPLMDataRef ref);             // any handle ever given out, live or not

int OwnedTypes(XPLMDataRef ref);
bool OwnedWritable(XPLMDataRef ref);
bool OwnedGood(XPLMDataRef ref);
int OwnedGeti(XPLMDataRef ref);
void OwnedSeti(XPLMDataRef ref, int value);
float OwnedGetf(XPLMDataRef ref);
void OwnedSetf(XPLMDataRef ref, float value);
double OwnedGetd(XPLMDataRef ref);
void OwnedSetd(XPLMDataRef ref, double value);
int OwnedGetvi(XPLMDataRef ref, int* values, int offset, int max);
void OwnedSetvi(XPLMDataRef ref, int* values, int offset, int count);
int OwnedGetvf(XPLMDataRef ref, float* values, int offset, int max);
void OwnedSetvf(XPLMDataRef ref, float* values, int offset, int count);
int OwnedGetb(XPLMDataRef ref, void* value, int offset, int max);
void OwnedSetb(XPLMDataRef ref, void* value, int offset, int length);

}  // namespace sim
