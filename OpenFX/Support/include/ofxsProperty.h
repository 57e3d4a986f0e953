// OFX C++ layer: typed access to one host property set.
#pragma once

#include <string>

#include "ofxsCore.h"

namespace OFX {

// A property set handle with the property suite behind it. Getters and
// setters throw Exception::Suite when the suite call fails, except that a
// setter on a property the host does not know (kOfxStatErrUnknown) is only
// logged: such a property is an optional feature the host lacks.
class PropertySet {
public:
    explicit PropertySet(OfxPropertySetHandle handle = nullptr) : handle_(handle) {}
    // The wrapped handle (may be null).
    OfxPropertySetHandle handle() const { return handle_; }
    // False for a null handle.
    explicit operator bool() const { return handle_ != nullptr; }

    void setString(const char* name, const std::string& value, int index = 0);
    void setInt(const char* name, int value, int index = 0);
    void setDouble(const char* name, double value, int index = 0);
    void setPointer(const char* name, void* value, int index = 0);

    std::string getString(const char* name, int index = 0) const;
    int getInt(const char* name, int index = 0) const;
    double getDouble(const char* name, int index = 0) const;
    void* getPointer(const char* name, int index = 0) const;
    // Number of values the property holds.
    int getDimension(const char* name) const;

    // Like the getters above, but answer fallback instead of throwing.
    std::string getString(const char* name, int index, const std::string& fallback) const noexcept;
    int getInt(const char* name, int index, int fallback) const noexcept;
    double getDouble(const char* name, int index, double fallback) const noexcept;

private:
    OfxPropertySetHandle handle_;
};

}  // namespace OFX
