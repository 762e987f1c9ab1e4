#pragma once

#include <string>

class PXiIPlug;

// A type of the script language: the result of a script, the type of a parameter.
class PXiType {
public:
    enum Kind { Null, Image, Float, Int, String };

    constexpr PXiType(Kind kind = Null) : m_kind(kind) {}
    // "null", "image", "float", "int", "string".
    const char* name() const;
    bool operator==(const PXiType& o) const { return m_kind == o.m_kind; }
    bool operator!=(const PXiType& o) const { return m_kind != o.m_kind; }

    // "No particular type": what a caller passes when it expects no result.
    static const PXiType null;
    static const PXiType image;
    static const PXiType floatType;
    static const PXiType intType;
    static const PXiType string;

private:
    Kind m_kind;
};

// A value of the script language: nothing, an image (possibly "no image", a null upstream),
// or a number or text (as the text written).
class PXiValue {
public:
    PXiValue() = default;
    static PXiValue ofImage(PXiIPlug* image) {
        PXiValue v;
        v.m_type = PXiType::Image;
        v.m_image = image;
        return v;
    }
    static PXiValue ofText(PXiType type, std::string text) {
        PXiValue v;
        v.m_type = type;
        v.m_text = std::move(text);
        return v;
    }

    PXiType type() const { return m_type; }
    bool isNull() const { return m_type == PXiType::null; }
    bool isImage() const { return m_type == PXiType::image; }
    // The image; null for "no image" and for values that are not images.
    PXiIPlug* image() const { return m_image; }
    // The text of a number or a text value; empty otherwise.
    const std::string& text() const { return m_text; }

private:
    PXiType m_type;
    PXiIPlug* m_image = nullptr;
    std::string m_text;
};
