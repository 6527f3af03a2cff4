// Text laid out line by line: measured with the face's advances, broken at
// spaces (or inside a word longer than a line), then drawn glyph by glyph.
#include "qxlmkjob/text_label.h"

#include <algorithm>
#include <map>
#include <vector>

#include "common/text.h"
#include "common/utf8.h"
#include "qxlmkjob/font.h"
#include "qxlmkjob/typeface.h"

namespace {

constexpr std::uint32_t TAB_SPACES = 8;  // a tab stop every 8 spaces' width
// Sizes tried, largest first, when none is given: 24 points down to 8.
constexpr std::uint32_t LARGEST_SIZE = 100, SMALLEST_SIZE = 32, SIZE_STEP = 4;
constexpr std::uint32_t BUILTIN_LARGEST_SCALE = 8;

bool IsSpace(char32_t code) { return code == ' ' || code == '\t'; }

// "\n" and "\t" written out, as a shell passes them, are a new line and a tab.
std::string WrittenEscapes(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'n' || text[i + 1] == 't')) {
            out += text[i + 1] == 'n' ? '\n' : '\t';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

struct Glyphs {
    const Typeface& face;
    std::map<char32_t, GlyphImage> cache;

    const GlyphImage& get(char32_t code) {
        auto found = cache.find(code);
        if (found != cache.end()) return found->second;
        GlyphImage glyph{};
        LoadGlyph(face, code, glyph);
        return cache.emplace(code, std::move(glyph)).first->second;
    }
    // The pen after code, from x, on a line that starts at 0.
    std::uint32_t after(char32_t code, std::uint32_t x) {
        if (code != '\t') return x + get(code).advance;
        const std::uint32_t stop = std::max<std::uint32_t>(1, TAB_SPACES * get(' ').advance);
        return (x / stop + 1) * stop;
    }
};

struct Line {
    std::vector<TextCharacter> chars;
    std::uint32_t width = 0;
};

std::uint32_t Width(Glyphs& glyphs, const std::vector<TextCharacter>& chars, size_t begin,
                    size_t end) {
    std::uint32_t x = 0;
    for (size_t i = begin; i < end; ++i) x = glyphs.after(chars[i].code, x);
    return x;
}

// One line of the text as lines at most width dots wide. Spaces where a line
// breaks are dropped; a word longer than a line breaks where it must.
bool Wrap(Glyphs& glyphs, const std::vector<TextCharacter>& chars, std::uint32_t width, bool wrap,
          std::vector<Line>& out, std::string& error) {
    size_t start = 0;
    const size_t n = chars.size();
    if (n == 0) out.emplace_back();
    while (start < n) {
        size_t end = start, lastBreak = n;
        for (std::uint32_t x = 0; end < n; ++end) {
            const std::uint32_t next = glyphs.after(chars[end].code, x);
            if (!IsSpace(chars[end].code) && next > width) break;
            if (IsSpace(chars[end].code)) lastBreak = end;
            x = next;
        }
        if (end == start) {
            error = Format(
                "--text: %s at line %u, character %u is wider than the %u dots a line "
                "has at this --size",
                NameCharacter(chars[end].code).c_str(), chars[end].line, chars[end].column, width);
            return false;
        }
        if (end < n && !wrap) {
            error = Format("--text: line %u needs %u dots; %u fit (--no-wrap)", chars[start].line,
                           Width(glyphs, chars, start, n), width);
            return false;
        }
        if (end < n && lastBreak != n && lastBreak > start) end = lastBreak;
        size_t last = end;
        while (last > start && IsSpace(chars[last - 1].code)) --last;
        Line line;
        line.chars.assign(chars.begin() + static_cast<long>(start),
                          chars.begin() + static_cast<long>(last));
        line.width = Width(glyphs, line.chars, 0, line.chars.size());
        out.push_back(std::move(line));
        start = end;
        while (start < n && IsSpace(chars[start].code)) ++start;
    }
    return true;
}

bool LayOut(Glyphs& glyphs, const std::vector<std::vector<TextCharacter>>& paragraphs,
            std::uint32_t width, bool wrap, std::vector<Line>& lines, std::string& error) {
    lines.clear();
    for (const auto& paragraph : paragraphs)
        if (!Wrap(glyphs, paragraph, width, wrap, lines, error)) return false;
    return true;
}

std::uint32_t MarginOf(const Typeface& face) {
    return face.builtinScale != 0 ? 4 * face.builtinScale
                                  : std::max<std::uint32_t>(4, face.lineHeight / 4);
}

bool Open(const TextStyle& style, std::uint32_t size, Typeface& face, std::string& error) {
    if (style.font == BUILTIN_FONT || (style.font.empty() && !CanDrawTrueType())) {
        face = BuiltinTypeface(std::max<std::uint32_t>(1, size / FONT_LINE_HEIGHT));
        return true;
    }
    const std::string path = style.font.empty() ? DEFAULT_FONT_FILE : style.font;
    if (!OpenTypeface(path, size, face, error)) {
        if (style.font.empty())
            error = Format(
                "no font at %s: install fonts-dejavu-core, or give --font FILE or "
                "--font builtin",
                path.c_str());
        return false;
    }
    return true;
}

void Draw(Glyphs& glyphs, const std::vector<Line>& lines, const LabelSpace& space, Align align,
          Picture& label) {
    const Typeface& face = glyphs.face;
    const std::uint32_t margin = MarginOf(face);
    const std::uint32_t room = space.printable - 2 * margin;
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        std::uint32_t x = margin;
        if (align == Align::Centre) x += (room - line.width) / 2;
        if (align == Align::Right) x += room - line.width;
        const std::int64_t baseline = margin + i * face.lineHeight + face.ascent;
        std::uint32_t pen = 0;
        for (const TextCharacter& c : line.chars) {
            const GlyphImage& glyph = glyphs.get(c.code);
            if (c.code != '\t')
                for (std::uint32_t y = 0; y < glyph.dots.height; ++y)
                    for (std::uint32_t dx = 0; dx < glyph.dots.width; ++dx)
                        if (PictureRow(glyph.dots, y)[dx / 8] & (0x80 >> (dx % 8))) {
                            const std::int64_t px =
                                static_cast<std::int64_t>(x) + pen + glyph.left + dx;
                            const std::int64_t py = baseline - glyph.top + y;
                            if (px >= 0 && py >= 0)
                                SetDot(label, static_cast<std::uint32_t>(px),
                                       static_cast<std::uint32_t>(py));
                        }
            pen = glyphs.after(c.code, pen);
        }
    }
}

}  // namespace

bool TextPicture(const std::string& text, const LabelSpace& space, const TextStyle& style,
                 Picture& out, std::string& error) {
    std::vector<TextCharacter> chars;
    if (!DecodeUtf8(WrittenEscapes(text), chars, error)) {
        error = "--text: " + error;
        return false;
    }
    if (chars.empty()) {
        error = "--text: the text is empty";
        return false;
    }
    std::vector<std::vector<TextCharacter>> paragraphs;
    for (const TextCharacter& c : chars) {
        while (paragraphs.size() < c.line) paragraphs.emplace_back();
        paragraphs[c.line - 1].push_back(c);
    }

    // The sizes to try: the one given, or the largest that fits unwrapped.
    const bool builtin = style.font == BUILTIN_FONT || (style.font.empty() && !CanDrawTrueType());
    std::vector<std::uint32_t> sizes;
    if (style.size != 0)
        sizes.push_back(style.size);
    else if (builtin)
        for (std::uint32_t scale = BUILTIN_LARGEST_SCALE; scale >= 1; --scale)
            sizes.push_back(scale * FONT_LINE_HEIGHT);
    else
        for (std::uint32_t size = LARGEST_SIZE; size >= SMALLEST_SIZE; size -= SIZE_STEP)
            sizes.push_back(size);

    Typeface face;
    std::vector<Line> lines;
    for (size_t k = 0; k < sizes.size(); ++k) {
        if (!Open(style, sizes[k], face, error)) return false;
        Glyphs glyphs{face, {}};
        if (k == 0)
            for (const TextCharacter& c : chars)
                if (c.code != '\t' && (c.code < 0x20 || !HasGlyph(face, c.code))) {
                    error =
                        Format("--text: %s at line %u, character %u is not in %s",
                               NameCharacter(c.code).c_str(), c.line, c.column, face.name.c_str());
                    return false;
                }
        const std::uint32_t margin = MarginOf(face);
        if (space.printable <= 2 * margin) {
            error = Format("--size: the margins alone take %s", SpaceLimit(space).c_str());
            return false;
        }
        const std::uint32_t room = space.printable - 2 * margin;
        const bool last = k + 1 == sizes.size();
        // A size that needs wrapping is taken only when it is the last to try.
        std::string why;
        if (!LayOut(glyphs, paragraphs, room, false, lines, why)) {
            if (!last) continue;
            if (!LayOut(glyphs, paragraphs, room, style.wrap, lines, error)) {
                error += Format(": %s", SpaceLimit(space).c_str());
                return false;
            }
        }
        const std::uint32_t height =
            2 * margin + static_cast<std::uint32_t>(lines.size() - 1) * face.lineHeight +
            face.ascent + face.descent;
        Picture label = BlankPicture(space.printable, height);
        Draw(glyphs, lines, space, style.align, label);
        out = OnLines(label, space.lineDots);
        return true;
    }
    return false;
}
