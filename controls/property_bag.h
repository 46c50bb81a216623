// Persistence of a hosted control: the property bag its stored values are read from and
// written to, and the ambient properties its host supplies.
//
// A property is a key with a value of one of the stored types. The bag's rule: a value equal
// to the default the writer gives is not written, so reading it back yields that default.
#pragma once

#include "controls/frame_colours.h"
#include "controls/frame_picture.h"
#include "controls/frame_text.h"

#include <string>

#include <cstdint>
#include <utility>
#include <variant>
#include <vector>

namespace tav {

using PropertyValue = std::variant<std::int16_t, std::int32_t, bool, std::u16string, FrameFont, PictureRef>;

class PropertyBag {
public:
    virtual ~PropertyBag() = default;

    // The stored value of the key, or defaultValue when the key is not stored.
    virtual PropertyValue readProperty(const std::string& key, const PropertyValue& defaultValue) = 0;
    // Stores value under the key, unless it equals defaultValue: then the key is not stored.
    virtual void writeProperty(const std::string& key, const PropertyValue& value, const PropertyValue& defaultValue) = 0;
};

// A bag in memory that keeps its keys in the order they were first written.
class MemoryPropertyBag : public PropertyBag {
public:
    MemoryPropertyBag() = default;
    // Stored values given directly, in order (as a saved instance carries them).
    MemoryPropertyBag(std::initializer_list<std::pair<std::string, PropertyValue>> values);

    PropertyValue readProperty(const std::string& key, const PropertyValue& defaultValue) override;
    void writeProperty(const std::string& key, const PropertyValue& value, const PropertyValue& defaultValue) override;

    bool contains(const std::string& key) const { return find(key) != nullptr; }
    // The stored value, or null when the key is not stored.
    const PropertyValue* find(const std::string& key) const;
    std::vector<std::string> keys() const;

private:
    std::vector<std::pair<std::string, PropertyValue>> m_values;
};

// What the host tells a control about its surroundings, asked at the moment it is needed.
class AmbientProperties {
public:
    virtual ~AmbientProperties() = default;

    virtual Colour BackColor() const = 0;
    virtual std::u16string DisplayName() const = 0;
    virtual FrameFont Font() const = 0;
};

// Fixed ambient values, for hosts whose surroundings do not change.
class FixedAmbient : public AmbientProperties {
public:
    FixedAmbient(Colour backColor, std::u16string displayName, FrameFont font)
        : m_backColor(backColor), m_displayName(std::move(displayName)), m_font(std::move(font))
    {
    }

    Colour BackColor() const override { return m_backColor; }
    std::u16string DisplayName() const override { return m_displayName; }
    FrameFont Font() const override { return m_font; }

private:
    Colour m_backColor;
    std::u16string m_displayName;
    FrameFont m_font;
};

// Conversions of a read value to the property's type, as the host's variants convert: integers
// and Booleans into each other (True is -1), both into text. Anything else raises
// RunTimeError 13 ("Type mismatch"); a value too large for 16 bits raises 6 ("Overflow").
std::int32_t propertyToInt32(const PropertyValue& value);
std::int16_t propertyToInt16(const PropertyValue& value);
bool propertyToBool(const PropertyValue& value);
std::u16string propertyToString(const PropertyValue& value);
FrameFont propertyToFont(const PropertyValue& value);
PictureRef propertyToPicture(const PropertyValue& value);

// Equality as the bag judges "equal to its default": integers and Booleans by their numeric
// value (a 16-bit 22 equals a 32-bit 22), text exactly, fonts by their attributes, pictures by
// identity.
bool propertyEquals(const PropertyValue& a, const PropertyValue& b);

// Colours are stored as their 32 bits, signed.
inline std::int32_t colourToStored(Colour colour) { return std::int32_t(colour); }
inline Colour storedToColour(std::int32_t stored) { return Colour(stored); }

inline constexpr int kErrTypeMismatch = 13;
inline constexpr const char* kMsgTypeMismatch = "Type mismatch";

}  // namespace tav
