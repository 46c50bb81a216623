// The in-memory property bag and the conversions of read values to property types.
#include "controls/property_bag.h"

#include "platform/run_time_error.h"

#include <limits>

namespace tav {
namespace {

[[noreturn]] void raiseTypeMismatch() { throw RunTimeError(kErrTypeMismatch, kMsgTypeMismatch); }

constexpr std::int32_t kTrueAsInteger = -1;

}  // namespace

MemoryPropertyBag::MemoryPropertyBag(std::initializer_list<std::pair<std::string, PropertyValue>> values)
{
    for (const auto& [key, value] : values) {
        // Later entries of a key replace earlier ones, as repeated writes do.
        bool replaced = false;
        for (auto& entry : m_values) {
            if (entry.first == key) {
                entry.second = value;
                replaced = true;
            }
        }
        if (!replaced)
            m_values.emplace_back(key, value);
    }
}

PropertyValue MemoryPropertyBag::readProperty(const std::string& key, const PropertyValue& defaultValue)
{
    const PropertyValue* stored = find(key);
    return stored ? *stored : defaultValue;
}

void MemoryPropertyBag::writeProperty(const std::string& key, const PropertyValue& value, const PropertyValue& defaultValue)
{
    for (auto it = m_values.begin(); it != m_values.end(); ++it) {
        if (it->first == key) {
            // A bag written again must not keep an older value where the new one is the default.
            if (propertyEquals(value, defaultValue))
                m_values.erase(it);
            else
                it->second = value;
            return;
        }
    }
    if (!propertyEquals(value, defaultValue))
        m_values.emplace_back(key, value);
}

const PropertyValue* MemoryPropertyBag::find(const std::string& key) const
{
    for (const auto& entry : m_values) {
        if (entry.first == key)
            return &entry.second;
    }
    return nullptr;
}

std::vector<std::string> MemoryPropertyBag::keys() const
{
    std::vector<std::string> result;
    result.reserve(m_values.size());
    for (const auto& entry : m_values)
        result.push_back(entry.first);
    return result;
}

bool propertyEquals(const PropertyValue& a, const PropertyValue& b)
{
    const auto numeric = [](const PropertyValue& v) {
        return std::holds_alternative<std::int16_t>(v) || std::holds_alternative<std::int32_t>(v) ||
               std::holds_alternative<bool>(v);
    };
    if (numeric(a) && numeric(b))
        return propertyToInt32(a) == propertyToInt32(b);
    return a == b;
}

std::int32_t propertyToInt32(const PropertyValue& value)
{
    if (const auto* v = std::get_if<std::int32_t>(&value))
        return *v;
    if (const auto* v = std::get_if<std::int16_t>(&value))
        return *v;
    if (const auto* v = std::get_if<bool>(&value))
        return *v ? kTrueAsInteger : 0;
    raiseTypeMismatch();
}

std::int16_t propertyToInt16(const PropertyValue& value)
{
    const std::int32_t v = propertyToInt32(value);
    if (v < std::numeric_limits<std::int16_t>::min() || v > std::numeric_limits<std::int16_t>::max())
        raiseOverflow();
    return std::int16_t(v);
}

bool propertyToBool(const PropertyValue& value)
{
    if (const auto* v = std::get_if<bool>(&value))
        return *v;
    return propertyToInt32(value) != 0;
}

std::u16string propertyToString(const PropertyValue& value)
{
    if (const auto* v = std::get_if<std::u16string>(&value))
        return *v;
    if (const auto* v = std::get_if<bool>(&value))
        return *v ? u"True" : u"False";
    const std::string digits = std::to_string(propertyToInt32(value));
    return std::u16string(digits.begin(), digits.end());
}

FrameFont propertyToFont(const PropertyValue& value)
{
    if (const auto* v = std::get_if<FrameFont>(&value))
        return *v;
    raiseTypeMismatch();
}

PictureRef propertyToPicture(const PropertyValue& value)
{
    if (const auto* v = std::get_if<PictureRef>(&value))
        return *v;
    raiseTypeMismatch();
}

}  // namespace tav
