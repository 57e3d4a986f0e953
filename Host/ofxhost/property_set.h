// Typed, multi-dimensional property sets behind OfxPropertySetHandle.
#ifndef OFXHOST_PROPERTY_SET_H
#define OFXHOST_PROPERTY_SET_H

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "ofxCore.h"

namespace ofxhost::detail {

enum class PropType { Int, Double, String, Pointer };

// One property: its type, fixed dimension (or -1 for a variable one), the
// current values and the values reset returns to.
struct Property {
    PropType type = PropType::Int;
    int dimension = 1;
    std::vector<int> ints, defaultInts;
    std::vector<double> doubles, defaultDoubles;
    std::vector<std::string> strings, defaultStrings;
    std::vector<void*> pointers, defaultPointers;
    int size() const;
};

// A property set. Every access locks the set's mutex, so a set may be read
// and written from several render threads.
class PropertySet {
public:
    static constexpr std::uint32_t kMagic = 0x4F465850;  // checked on every handle the plug-in passes in

    // pluginWritable false: the plug-in may read but not change any property.
    explicit PropertySet(bool pluginWritable = true) : pluginWritable_(pluginWritable) {}
    PropertySet(const PropertySet& other);
    PropertySet& operator=(const PropertySet&) = delete;
    ~PropertySet() { magic_ = 0; }

    OfxPropertySetHandle handle() { return reinterpret_cast<OfxPropertySetHandle>(this); }
    // The set behind a handle, or null for a null or foreign handle.
    static PropertySet* from(OfxPropertySetHandle handle);
    void setPluginWritable(bool writable) { pluginWritable_ = writable; }
    // Replaces every property with those of another set (plug-in writability is kept).
    void copyFrom(const PropertySet& other);

    // Definitions by the host. dimension -1 makes the property variable-sized;
    // the given values become the defaults.
    void defineInt(std::string_view name, std::vector<int> values, int dimension = 0);
    void defineDouble(std::string_view name, std::vector<double> values, int dimension = 0);
    void defineString(std::string_view name, std::vector<std::string> values, int dimension = 0);
    void definePointer(std::string_view name, std::vector<void*> values, int dimension = 0);

    // Suite access: kOfxStatErrUnknown for an unknown name, kOfxStatErrValue for
    // a type mismatch (or a read-only set), kOfxStatErrBadIndex outside the dimension.
    OfxStatus setInt(const char* name, int index, int value, bool byPlugin);
    OfxStatus setDouble(const char* name, int index, double value, bool byPlugin);
    OfxStatus setString(const char* name, int index, const char* value, bool byPlugin);
    OfxStatus setPointer(const char* name, int index, void* value, bool byPlugin);
    OfxStatus setIntN(const char* name, int count, const int* values, bool byPlugin);
    OfxStatus setDoubleN(const char* name, int count, const double* values, bool byPlugin);
    OfxStatus setStringN(const char* name, int count, const char* const* values, bool byPlugin);
    OfxStatus setPointerN(const char* name, int count, void* const* values, bool byPlugin);
    OfxStatus getInt(const char* name, int index, int* value) const;
    OfxStatus getDouble(const char* name, int index, double* value) const;
    // The pointer stays valid until the property is next changed.
    OfxStatus getString(const char* name, int index, char** value) const;
    OfxStatus getPointer(const char* name, int index, void** value) const;
    OfxStatus getIntN(const char* name, int count, int* values) const;
    OfxStatus getDoubleN(const char* name, int count, double* values) const;
    OfxStatus getStringN(const char* name, int count, char** values) const;
    OfxStatus getPointerN(const char* name, int count, void** values) const;
    OfxStatus reset(const char* name, bool byPlugin);
    OfxStatus dimension(const char* name, int* count) const;

    // Host-side convenience: the value, or the fallback when absent.
    int intValue(std::string_view name, int index = 0, int fallback = 0) const;
    double doubleValue(std::string_view name, int index = 0, double fallback = 0) const;
    std::string stringValue(std::string_view name, int index = 0, const std::string& fallback = {}) const;
    void* pointerValue(std::string_view name, int index = 0) const;
    std::vector<std::string> strings(std::string_view name) const;
    // Int or double values as doubles.
    std::vector<double> numbers(std::string_view name) const;
    bool has(std::string_view name) const;

    // Host-side writes: replace all values of a defined property (any dimension).
    void assignInts(std::string_view name, std::vector<int> values);
    void assignDoubles(std::string_view name, std::vector<double> values);
    void assignStrings(std::string_view name, std::vector<std::string> values);
    void assignPointers(std::string_view name, std::vector<void*> values);

private:
    template <typename T>
    T numberValue(std::string_view name, int index, T fallback) const;
    template <typename T>
    OfxStatus setOne(const char* name, int index, T value, PropType type, bool byPlugin);
    template <typename T>
    OfxStatus setMany(const char* name, int count, const T* values, PropType type, bool byPlugin);
    template <typename T>
    OfxStatus getOne(const char* name, int index, T* value, PropType type) const;
    OfxStatus writable(const char* name, PropType type, bool byPlugin, Property*& p);
    const Property* find(std::string_view name) const;
    Property* find(std::string_view name);
    void define(std::string_view name, Property property);

    std::uint32_t magic_ = kMagic;
    bool pluginWritable_;
    mutable std::mutex mutex_;
    std::map<std::string, Property, std::less<>> props_;
};

}  // namespace ofxhost::detail

#endif
