// Datarefs: named values that scenarios set and plug-ins read and write. As in the simulator, each
// dataref has a published set of types and is read only through the accessors of that set; there
// is no conversion, so a plug-in that guesses a type wrong reads 0 here as it would there.
#include <cmath>
#include <cstring>

#include "owned_data.h"
#include "world.h"

namespace sim {

namespace {

constexpr XPLMDataTypeID kScalarTypes = xplmType_Int | xplmType_Float | xplmType_Double;
constexpr XPLMDataTypeID kArrayTypes = xplmType_IntArray | xplmType_FloatArray;
constexpr XPLMDataTypeID kAllTypes = kScalarTypes | kArrayTypes | xplmType_Data;

// Values are kept in the widest type the set publishes them as.
double Normalised(XPLMDataTypeID types, double value) {
    if (types & xplmType_Double) return value;
    if (types & (xplmType_Float | xplmType_FloatArray)) return (float)value;
    return std::trunc(value);
}

DataRef& Slot(const char* name) {
    auto& slot = W().datarefs[name];
    if (!slot) {
        // Published again under a removed name: the orphan's handle works again.
        auto orphan = W().orphanedDatarefs.find(name);
        if (orphan != W().orphanedDatarefs.end()) {
            slot = std::move(orphan->second);
            W().orphanedDatarefs.erase(orphan);
            slot->writable = true;
        } else {
            slot = std::make_unique<DataRef>();
            slot->name = name;
        }
    }
    return *slot;
}

DataRef* Named(const char* name) {
    auto it = W().datarefs.find(name ? name : "");
    return it == W().datarefs.end() ? nullptr : it->second.get();
}

std::string TypeNames(XPLMDataTypeID types) {
    static const struct {
        XPLMDataTypeID bit;
        const char* name;
    } kNames[] = {{xplmType_Int, "int"},         {xplmType_Float, "float"},         {xplmType_Double, "double"},
                  {xplmType_IntArray, "int[]"}, {xplmType_FloatArray, "float[]"}, {xplmType_Data, "byte[]"}};
    std::string out;
    for (const auto& n : kNames)
        if (types & n.bit) out += (out.empty() ? "" : "+") + std::string(n.name);
    return out.empty() ? "unknown" : out;
}

}  // namespace

// A removed dataref is orphaned, as one of the simulator's is when the plug-in that published it
// goes away: a handle kept from before stays valid, is no longer good, reads 0 (0 items) and
// takes no writes, and that is no fault of the plug-in holding it.
static bool Orphaned(const DataRef* d) {
    auto it = W().orphanedDatarefs.find(d->name);
    return it != W().orphanedDatarefs.end() && it->second.get() == d;
}

static DataRef* Ref(XPLMDataRef ref, const char* api) {
    // Handles are only ever given out by XPLMFindDataRef; anything else is a plug-in fault.
    for (auto& entry : W().datarefs)
        if (entry.second.get() == ref) return entry.second.get();
    for (auto& entry : W().orphanedDatarefs)
        if (entry.second.get() == ref) return entry.second.get();
    if (ref) Misuse(Format("%s: not a dataref handle (%p)", api, ref));
    return nullptr;
}

// The live dataref behind a handle when its type set allows the accessor; a wrong accessor is a
// plug-in fault the simulator answers with 0, an orphan answers 0 without one.
static DataRef* Typed(XPLMDataRef ref, XPLMDataTypeID type, const char* api) {
    DataRef* d = Ref(ref, api);
    if (!d) return nullptr;
    if (!(d->types & type)) {
        Misuse(Format("%s: %s is %s", api, d->name.c_str(), TypeNames(d->types).c_str()));
        return nullptr;
    }
    return Orphaned(d) ? nullptr : d;
}

static DataRef* Writable(XPLMDataRef ref, XPLMDataTypeID type, const char* api) {
    DataRef* d = Typed(ref, type, api);
    if (d && !d->writable) {
        // The simulator ignores the write; a plug-in that relies on it has a fault.
        Misuse(Format("%s: %s is read-only", api, d->name.c_str()));
        return nullptr;
    }
    return d;
}

// The stretch [offset, offset + count) of an array of size items, cut at its end. Negative offsets
// or counts are plug-in faults: the simulator would read outside the array.
static bool Span(const char* api, const DataRef& d, int size, int offset, int count, int* first, int* n) {
    if (offset < 0 || count < 0) {
        Misuse(Format("%s: %s offset %d count %d", api, d.name.c_str(), offset, count));
        return false;
    }
    *first = offset;
    *n = offset >= size ? 0 : (count < size - offset ? count : size - offset);
    return true;
}

std::string DescribeDatarefs() {
    std::string out;
    for (auto& entry : W().datarefs) {
        const DataRef& d = *entry.second;
        // Arrays show their size in the type: float[5], byte[40].
        std::string types = TypeNames(d.types);
        const int size = (int)(d.types & xplmType_Data ? d.bytes.size() : d.items.size());
        for (size_t at; (at = types.find("[]")) != std::string::npos;) types.replace(at, 2, Format("[%d]", size));
        std::string line = "dataref " + d.name + " " + types;
        if (d.types & kScalarTypes) line += Format(" %.6g", d.value);
        for (double v : d.items) line += Format(" %.6g", v);
        if (d.types & xplmType_Data) {
            std::string text(d.bytes.begin(), d.bytes.end());
            line += Format(" \"%s\"", text.c_str());
        }
        if (!d.writable) line += " read-only";
        out += line + "\n";
    }
    return out;
}

}  // namespace sim

using namespace sim;

extern "C" {

SIM_API void SIM_SetDataref(const char* name, int types, double value) {
    if (!name) return;
    DataRef& d = Slot(name);
    d.types = types & kScalarTypes ? types & kScalarTypes : xplmType_Float;
    d.value = Normalised(d.types, value);
    d.items.clear();
    d.bytes.clear();
}

SIM_API void SIM_SetDatarefArray(const char* name, int types, const double* values, int count) {
    if (!name || count < 0 || (count > 0 && !values)) return;
    DataRef& d = Slot(name);
    d.types = types & kArrayTypes ? types & kArrayTypes : xplmType_FloatArray;
    d.items.assign(values, values + count);
    for (double& v : d.items) v = Normalised(d.types, v);
    d.value = 0;
    d.bytes.clear();
}

SIM_API void SIM_SetDatarefBytes(const char* name, const void* bytes, int length) {
    if (!name || length < 0 || (length > 0 && !bytes)) return;
    DataRef& d = Slot(name);
    d.types = xplmType_Data;
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    d.bytes.assign(p, p + length);
    d.value = 0;
    d.items.clear();
}

SIM_API void SIM_SetDatarefWritable(const char* name, int writable) {
    if (DataRef* d = Named(name)) d->writable = writable != 0;
}

SIM_API int SIM_DatarefWritable(const char* name) {
    DataRef* d = Named(name);
    return d ? (d->writable ? 1 : 0) : -1;
}

SIM_API int SIM_GetDataref(const char* name, double* value) {
    DataRef* d = Named(name);
    if (!d) return 0;
    if (value) *value = d->value;
    return d->types;
}

SIM_API int SIM_GetDatarefArray(const char* name, double* values, int max) {
    DataRef* d = Named(name);
    if (!d) return -1;
    for (int i = 0; values && i < max && i < (int)d->items.size(); ++i) values[i] = d->items[i];
    return (int)d->items.size();
}

SIM_API int SIM_GetDatarefBytes(const char* name, void* bytes, int max) {
    DataRef* d = Named(name);
    if (!d) return -1;
    int n = max < (int)d->bytes.size() ? max : (int)d->bytes.size();
    if (bytes && n > 0) memcpy(bytes, d->bytes.data(), n);
    return (int)d->bytes.size();
}

SIM_API void SIM_RemoveDataref(const char* name) {
    // The record stays alive as an orphan (plug-ins may hold its handle) but the name no longer
    // resolves.
    auto it = W().datarefs.find(name ? name : "");
    if (it == W().datarefs.end()) return;
    W().orphanedDatarefs[it->first] = std::move(it->second);
    W().datarefs.erase(it);
}

XPLM_API XPLMDataRef XPLMFindDataRef(const char* inDataRefName) {
    ApiCall("XPLMFindDataRef");
    if (DataRef* d = Named(inDataRefName)) {
        NoteFoundDataRef(d->name);
        return d;
    }
    return FindOwnedDataRef(inDataRefName);
}

XPLM_API int XPLMCanWriteDataRef(XPLMDataRef inDataRef) {
    ApiCall("XPLMCanWriteDataRef");
    if (IsOwnedDataRef(inDataRef)) return OwnedWritable(inDataRef) ? 1 : 0;
    DataRef* d = Ref(inDataRef, "XPLMCanWriteDataRef");
    return d && d->writable && !Orphaned(d) ? 1 : 0;
}

XPLM_API int XPLMIsDataRefGood(XPLMDataRef inDataRef) {
    ApiCall("XPLMIsDataRefGood");
    if (IsOwnedDataRef(inDataRef)) return OwnedGood(inDataRef) ? 1 : 0;
    DataRef* d = Ref(inDataRef, "XPLMIsDataRefGood");
    return d && !Orphaned(d) ? 1 : 0;
}

XPLM_API XPLMDataTypeID XPLMGetDataRefTypes(XPLMDataRef inDataRef) {
    ApiCall("XPLMGetDataRefTypes");
    if (IsOwnedDataRef(inDataRef)) return OwnedTypes(inDataRef);
    DataRef* d = Ref(inDataRef, "XPLMGetDataRefTypes");
    return d ? d->types & kAllTypes : xplmType_Unknown;
}

XPLM_API int XPLMGetDatai(XPLMDataRef inDataRef) {
    ApiCall("XPLMGetDatai");
    if (IsOwnedDataRef(inDataRef)) return OwnedGeti(inDataRef);
    DataRef* d = Typed(inDataRef, xplmType_Int, "XPLMGetDatai");
    return d ? (int)d->value : 0;
}

XPLM_API void XPLMSetDatai(XPLMDataRef inDataRef, int inValue) {
    ApiCall("XPLMSetDatai");
    if (IsOwnedDataRef(inDataRef)) return OwnedSeti(inDataRef, inValue);
    if (DataRef* d = Writable(inDataRef, xplmType_Int, "XPLMSetDatai")) d->value = Normalised(d->types, inValue);
}

XPLM_API float XPLMGetDataf(XPLMDataRef inDataRef) {
    ApiCall("XPLMGetDataf");
    if (IsOwnedDataRef(inDataRef)) return OwnedGetf(inDataRef);
    DataRef* d = Typed(inDataRef, xplmType_Float, "XPLMGetDataf");
    return d ? (float)d->value : 0.0f;
}

XPLM_API void XPLMSetDataf(XPLMDataRef inDataRef, float inValue) {
    ApiCall("XPLMSetDataf");
    if (IsOwnedDataRef(inDataRef)) return OwnedSetf(inDataRef, inValue);
    if (DataRef* d = Writable(inDataRef, xplmType_Float, "XPLMSetDataf")) d->value = Normalised(d->types, inValue);
}

XPLM_API double XPLMGetDatad(XPLMDataRef inDataRef) {
    ApiCall("XPLMGetDatad");
    if (IsOwnedDataRef(inDataRef)) return OwnedGetd(inDataRef);
    DataRef* d = Typed(inDataRef, xplmType_Double, "XPLMGetDatad");
    return d ? d->value : 0.0;
}

XPLM_API void XPLMSetDatad(XPLMDataRef inDataRef, double inValue) {
    ApiCall("XPLMSetDatad");
    if (IsOwnedDataRef(inDataRef)) return OwnedSetd(inDataRef, inValue);
    if (DataRef* d = Writable(inDataRef, xplmType_Double, "XPLMSetDatad")) d->value = Normalised(d->types, inValue);
}

XPLM_API int XPLMGetDatavi(XPLMDataRef inDataRef, int* outValues, int inOffset, int inMax) {
    ApiCall("XPLMGetDatavi");
    if (IsOwnedDataRef(inDataRef)) return OwnedGetvi(inDataRef, outValues, inOffset, inMax);
    DataRef* d = Typed(inDataRef, xplmType_IntArray, "XPLMGetDatavi");
    if (!d) return 0;
    if (!outValues) return (int)d->items.size();
    int first = 0, n = 0;
    if (!Span("XPLMGetDatavi", *d, (int)d->items.size(), inOffset, inMax, &first, &n)) return 0;
    for (int i = 0; i < n; ++i) outValues[i] = (int)d->items[first + i];
    return n;
}

XPLM_API void XPLMSetDatavi(XPLMDataRef inDataRef, int* inValues, int inOffset, int inCount) {
    ApiCall("XPLMSetDatavi");
    if (IsOwnedDataRef(inDataRef)) return OwnedSetvi(inDataRef, inValues, inOffset, inCount);
    DataRef* d = Writable(inDataRef, xplmType_IntArray, "XPLMSetDatavi");
    int first = 0, n = 0;
    if (d && !inValues) Misuse(Format("XPLMSetDatavi: %s written from NULL", d->name.c_str()));
    if (!d || !inValues || !Span("XPLMSetDatavi", *d, (int)d->items.size(), inOffset, inCount, &first, &n)) return;
    for (int i = 0; i < n; ++i) d->items[first + i] = Normalised(d->types, inValues[i]);
}

XPLM_API int XPLMGetDatavf(XPLMDataRef inDataRef, float* outValues, int inOffset, int inMax) {
    ApiCall("XPLMGetDatavf");
    if (IsOwnedDataRef(inDataRef)) return OwnedGetvf(inDataRef, outValues, inOffset, inMax);
    DataRef* d = Typed(inDataRef, xplmType_FloatArray, "XPLMGetDatavf");
    if (!d) return 0;
    if (!outValues) return (int)d->items.size();
    int first = 0, n = 0;
    if (!Span("XPLMGetDatavf", *d, (int)d->items.size(), inOffset, inMax, &first, &n)) return 0;
    for (int i = 0; i < n; ++i) outValues[i] = (float)d->items[first + i];
    return n;
}

XPLM_API void XPLMSetDatavf(XPLMDataRef inDataRef, float* inValues, int inOffset, int inCount) {
    ApiCall("XPLMSetDatavf");
    if (IsOwnedDataRef(inDataRef)) return OwnedSetvf(inDataRef, inValues, inOffset, inCount);
    DataRef* d = Writable(inDataRef, xplmType_FloatArray, "XPLMSetDatavf");
    int first = 0, n = 0;
    if (d && !inValues) Misuse(Format("XPLMSetDatavf: %s written from NULL", d->name.c_str()));
    if (!d || !inValues || !Span("XPLMSetDatavf", *d, (int)d->items.size(), inOffset, inCount, &first, &n)) return;
    for (int i = 0; i < n; ++i) d->items[first + i] = Normalised(d->types, inValues[i]);
}

XPLM_API int XPLMGetDatab(XPLMDataRef inDataRef, void* outValue, int inOffset, int inMaxBytes) {
    ApiCall("XPLMGetDatab");
    if (IsOwnedDataRef(inDataRef)) return OwnedGetb(inDataRef, outValue, inOffset, inMaxBytes);
    DataRef* d = Typed(inDataRef, xplmType_Data, "XPLMGetDatab");
    if (!d) return 0;
    if (!outValue) return (int)d->bytes.size();
    int first = 0, n = 0;
    if (!Span("XPLMGetDatab", *d, (int)d->bytes.size(), inOffset, inMaxBytes, &first, &n)) return 0;
    if (n > 0) memcpy(outValue, d->bytes.data() + first, n);
    return n;
}

XPLM_API void XPLMSetDatab(XPLMDataRef inDataRef, void* inValue, int inOffset, int inLength) {
    ApiCall("XPLMSetDatab");
    if (IsOwnedDataRef(inDataRef)) return OwnedSetb(inDataRef, inValue, inOffset, inLength);
    DataRef* d = Writable(inDataRef, xplmType_Data, "XPLMSetDatab");
    int first = 0, n = 0;
    if (d && !inValue) Misuse(Format("XPLMSetDatab: %s written from NULL", d->name.c_str()));
    if (!d || !inValue || !Span("XPLMSetDatab", *d, (int)d->bytes.size(), inOffset, inLength, &first, &n)) return;
    if (n > 0) memcpy(d->bytes.data() + first, inValue, n);
}

}  // extern "C"
