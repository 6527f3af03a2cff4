// Glyphs from the built-in font, or rendered one bit deep by FreeType.
#include "qxlmkjob/typeface.h"

#include "common/text.h"
#include "qxlmkjob/font.h"

#if defined(QXL_WITH_FREETYPE)
#include <ft2build.h>
#include FT_FREETYPE_H
#endif

namespace {

bool LoadBuiltinGlyph(const Typeface& face, char32_t code, GlyphImage& glyph) {
    const std::uint8_t* rows = BuiltinGlyph(code);
    if (rows == nullptr) return false;
    const std::uint32_t scale = face.builtinScale;
    glyph = {BlankPicture(5 * scale, FONT_GLYPH_ROWS * scale), 0,
             static_cast<std::int32_t>(FONT_ASCENT * scale), FONT_CELL_WIDTH * scale};
    for (std::uint32_t row = 0; row < FONT_GLYPH_ROWS; ++row)
        for (std::uint32_t column = 0; column < 5; ++column)
            if (rows[row] & (0x10 >> column))
                for (std::uint32_t dy = 0; dy < scale; ++dy)
                    for (std::uint32_t dx = 0; dx < scale; ++dx)
                        SetDot(glyph.dots, column * scale + dx, row * scale + dy);
    return true;
}

#if defined(QXL_WITH_FREETYPE)
struct FreeType {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~FreeType() {
        if (face != nullptr) FT_Done_Face(face);
        if (library != nullptr) FT_Done_FreeType(library);
    }
};

FT_Face FaceOf(const Typeface& face) { return static_cast<FreeType*>(face.face.get())->face; }
#endif

}  // namespace

bool CanDrawTrueType() {
#if defined(QXL_WITH_FREETYPE)
    return true;
#else
    return false;
#endif
}

Typeface BuiltinTypeface(std::uint32_t scale) {
    Typeface face;
    face.name = "the built-in font";
    face.ascent = FONT_ASCENT * scale;
    face.descent = FONT_DESCENT * scale;
    face.lineHeight = FONT_LINE_HEIGHT * scale;
    face.builtinScale = scale;
    return face;
}

bool OpenTypeface(const std::string& path, std::uint32_t sizeDots, Typeface& face,
                  std::string& error) {
#if defined(QXL_WITH_FREETYPE)
    auto freeType = std::make_shared<FreeType>();
    if (FT_Init_FreeType(&freeType->library) != 0) {
        error = "--font: FreeType cannot start";
        return false;
    }
    if (FT_New_Face(freeType->library, path.c_str(), 0, &freeType->face) != 0) {
        error = "--font: cannot read " + path + " as a font";
        return false;
    }
    if (!FT_IS_SCALABLE(freeType->face) || FT_Set_Pixel_Sizes(freeType->face, 0, sizeDots) != 0) {
        error = Format("--font: %s cannot be drawn at %u dots", path.c_str(), sizeDots);
        return false;
    }
    const FT_Size_Metrics& metrics = freeType->face->size->metrics;
    face.name = freeType->face->family_name != nullptr ? freeType->face->family_name : path;
    face.ascent = static_cast<std::uint32_t>((metrics.ascender + 63) >> 6);
    face.descent = static_cast<std::uint32_t>((-metrics.descender + 63) >> 6);
    face.lineHeight = static_cast<std::uint32_t>((metrics.height + 63) >> 6);
    face.builtinScale = 0;
    face.face = freeType;
    return true;
#else
    (void)sizeDots;
    (void)face;
    error = "--font " + path + ": this build draws only its built-in font (no FreeType)";
    return false;
#endif
}

bool HasGlyph(const Typeface& face, char32_t code) {
    if (face.builtinScale != 0) return BuiltinGlyph(code) != nullptr;
#if defined(QXL_WITH_FREETYPE)
    return FT_Get_Char_Index(FaceOf(face), code) != 0;
#else
    return false;
#endif
}

bool LoadGlyph(const Typeface& face, char32_t code, GlyphImage& glyph) {
    if (face.builtinScale != 0) return LoadBuiltinGlyph(face, code, glyph);
#if defined(QXL_WITH_FREETYPE)
    FT_Face ft = FaceOf(face);
    if (FT_Get_Char_Index(ft, code) == 0 ||
        FT_Load_Char(ft, code, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0)
        return false;
    const FT_GlyphSlot slot = ft->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    glyph.left = slot->bitmap_left;
    glyph.top = slot->bitmap_top;
    glyph.advance = static_cast<std::uint32_t>((slot->advance.x + 32) >> 6);
    glyph.dots = BlankPicture(bitmap.width, bitmap.rows);
    if (bitmap.pixel_mode != FT_PIXEL_MODE_MONO) return bitmap.width == 0;
    for (std::uint32_t y = 0; y < bitmap.rows; ++y) {
        const unsigned char* row = bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch;
        for (std::uint32_t x = 0; x < bitmap.width; ++x)
            if (row[x / 8] & (0x80 >> (x % 8))) SetDot(glyph.dots, x, y);
    }
    return true;
#else
    return false;
#endif
}
