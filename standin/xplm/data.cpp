// Datarefs: named values that scenarios set and plug-ins read and write.
#include <cmath>
#include <cstring>

#include "owned_data.h"
#include "world.h"

namespace sim {

static DataRef* Ref(XPLMDataRef ref, const char* api) {
    // Handles are only ever given out by XPLMFindDataRef; anything else is a plug-in fault.
    for (auto& entry : W().datarefs)
        if (entry.second.get() == ref) return entry.second.get();
    if (ref) Misuse(Format("%s: not a dataref handle (%p)", api, ref));
    return nullptr;
}

std::string DescribeDatarefs() {
    std::string out;
    for (auto& entry : W().datarefs) {
        const DataRef& d = *entry.second;
        const char* type = d.type == xplmType_Int ? "int" : d.type == xplmType_Double ? "double" : "float";
        out += Format("dataref %s %s %.6g\n", d.name.c_str(), type, d.value);
    }
    return out;
}

}  // namespace sim

using namespace sim;

extern "C" {

SIM_API void SIM_SetDataref(const char* name, int type, double value) {
    if (!name) return;
    auto& slot = W().datarefs[name];
    if (!slot) {
        slot = std::make_unique<DataRef>();
        slot->name = name;
    }
    slot->type = type == xplmType_Int || type == xplmType_Double ? type : xplmType_Float;
    if (slot->type == xplmType_Int) value = std::trunc(value);
    else if (slot->type == xplmType_Float) value = (float)value;
    slot->value = value;
}

SIM_API int SIM_GetDataref(const char* name, double* value) {
    auto it = W().datarefs.find(name ? name : "");
    if (it == W().datarefs.end()) return 0;
    if (value) *value = it->second->value;
    return it->second->type;
}

SIM_API void SIM_RemoveDataref(const char* name) {
    // The record stays alive (plug-ins may hold its handle) but the name no longer resolves.
    auto it = W().datarefs.find(name ? name : "");
    if (it == W().datarefs.end()) return;
    static std::vector<std::unique_ptr<DataRef>> retired;
    retired.push_back(std::move(it->second));
    W().datarefs.erase(it);
}

XPLM_API XPLMDataRef XPLMFindDataRef(const char* inDataRefName) {
    ApiCall("XPLMFindDataRef");
    auto it = W().datarefs.find(inDataRefName ? inDataRefName : "");
    return it == W().datarefs.end() ? FindOwnedDataRef(inDataRefName) : it->second.get();
}

XPLM_API int XPLMCanWriteDataRef(XPLMDataRef inDataRef) {
    ApiCall("XPLMCanWriteDataRef");
    if (IsOwnedDataRef(inDataRef)) return OwnedWritable(inDataRef) ? 1 : 0;
    return Ref(inDataRef, "XPLMCanWriteDataRef") ? 1 : 0;
}

XPLM_API int XPLMIsDataRefGood(XPLMDataRef inDataRef) {
    ApiCall("XPLMIsDataRefGood");
    if (IsOwnedDataRef(inDataRef)) return OwnedGood(inDataRef) ? 1 : 0;
    return Ref(inDataRef, "XPLMIsDataRefGood") ? 1 : 0;
}

XPLM_API XPLMDataTypeID XPLMGetDataRefTypes(XPLMDataRef inDataRef) {
    ApiCall("XPLMGetDataRefTypes");
    if (IsOwnedDataRef(inDataRef)) return OwnedTypes(inDataRef);
    DataRef* d = Ref(inDataRef, "XPLMGetDataRefTypes");
    return d ? d->type : xplmType_Unknown;
}

XPLM_API int XPLMGetDatai(XPLMDataRef inDataRef) {
    ApiCall("XPLMGetDatai");
    if (IsOwnedDataRef(inDataRef)) return OwnedGeti(inDataRef);
    DataRef* d = Ref(inDataRef, "XPLMGetDatai");
    return d ? (int)d->value : 0;
}

XPLM_API void XPLMSetDatai(XPLMDataRef inDataRef, int inValue) {
    ApiCall("XPLMSetDatai");
    if (IsOwnedDataRef(inDataRef)) return OwnedSeti(inDataRef, inValue);
    if (DataRef* d = Ref(inDataRef, "XPLMSetDatai")) SIM_SetDataref(d->name.c_str(), d->type, inValue);
}

XPLM_API float XPLMGetDataf(XPLMDataRef inDataRef) {
    ApiCall("XPLMGetDataf");
    if (IsOwnedDataRef(inDataRef)) return OwnedGetf(inDataRef);
    DataRef* d = Ref(inDataRef, "XPLMGetDataf");
    return d ? (float)d->value : 0.0f;
}

XPLM_API void XPLMSetDataf(XPLMDataRef inDataRef, float inValue) {
    ApiCall("XPLMSetDataf");
    if (IsOwnedDataRef(inDataRef)) return OwnedSetf(inDataRef, inValue);
    if (DataRef* d = Ref(inDataRef, "XPLMSetDataf")) SIM_SetDataref(d->name.c_str(), d->type, inValue);
}

XPLM_API double XPLMGetDatad(XPLMDataRef inDataRef) {
    ApiCall("XPLMGetDatad");
    if (IsOwnedDataRef(inDataRef)) return OwnedGetd(inDataRef);
    DataRef* d = Ref(inDataRef, "XPLMGetDatad");
    return d ? d->value : 0.0;
}

XPLM_API void XPLMSetDatad(XPLMDataRef inDataRef, double inValue) {
    ApiCall("XPLMSetDatad");
    if (IsOwnedDataRef(inDataRef)) return OwnedSetd(inDataRef, inValue);
    if (DataRef* d = Ref(inDataRef, "XPLMSetDatad")) SIM_SetDataref(d->name.c_str(), d->type, inValue);
}

}  // extern "C"
