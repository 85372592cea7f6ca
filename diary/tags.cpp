#include "diary/tags.h"

#include <algorithm>
#include <cstdio>

#include "diary/catalog.h"
#include "diary/diary_book.h"
#include "diary/search.h"
#include "diary/search_entry.h"
#include "diary/search_fold.h"
#include "platform/cp932.h"
#include "platform/errors.h"

namespace kuv {

namespace {

// Marks of the 0x81 row that belong to words: ゝゞヽヾ〃仝々〆〇ー and the
// full-width low line. Every other mark of that row is punctuation or a
// symbol and ends a tag.
bool WordMark(unsigned char trail) {
    return (trail >= 0x51 && trail <= 0x5B);
}

// True when the character at text[i] (width 1 or 2) may be part of a tag.
bool TagCharacter(std::string_view text, std::size_t i, std::size_t width) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (width == 2) {
        if (b == 0x81) return WordMark(static_cast<unsigned char>(text[i + 1]));
        return true;
    }
    if (b >= 0x80) return b >= 0xA6 && b <= 0xDF;  // half-width katakana, not ｡｢｣､･
    if (b == '_') return true;
    return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}

std::size_t WidthAt(std::string_view text, std::size_t i) {
    return cp932::IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
}

bool HashAt(std::string_view text, std::size_t i, std::size_t width) {
    if (width == 1) return text[i] == '#';
    return text[i] == '\x81' && text[i + 1] == '\x94';  // ＃
}

}  // namespace

std::vector<Tag> TagsOf(std::string_view text) {
    std::vector<Tag> tags;
    bool afterWord = false;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t width = WidthAt(text, i);
        if (afterWord || !HashAt(text, i, width)) {
            // Japanese runs words together, so only a Latin letter or digit
            // before a "#" keeps it inside a word (page.html#top, C#).
            afterWord = width == 1 && static_cast<unsigned char>(text[i]) < 0x80 &&
                        TagCharacter(text, i, width);
            i += width;
            continue;
        }
        std::size_t end = i + width;
        while (end < text.size()) {
            const std::size_t w = WidthAt(text, end);
            if (!TagCharacter(text, end, w)) break;
            end += w;
        }
        if (end > i + width) {
            Tag tag{std::string(text.substr(i + width, end - i - width)), {}};
            tag.folded = FoldText(tag.text);
            const bool seen = std::any_of(tags.begin(), tags.end(),
                                          [&](const Tag& t) { return t.folded == tag.folded; });
            if (!seen) tags.push_back(std::move(tag));
        }
        afterWord = false;
        i = end;
    }
    return tags;
}

void TagCounter::AddEntry(std::string_view text) {
    for (Tag& t : TagsOf(text)) {
        const auto [it, fresh] = index_.try_emplace(t.folded, tags_.size());
        if (fresh) tags_.push_back(TagCount{std::move(t.text), std::move(t.folded), 0});
        ++tags_[it->second].days;
    }
}

std::vector<TagCount> TagCounter::Counts() const {
    std::vector<TagCount> out = tags_;
    std::sort(out.begin(), out.end(), [](const TagCount& a, const TagCount& b) {
        return a.days != b.days ? a.days > b.days : a.folded < b.folded;
    });
    return out;
}

DiaryTags CountDiaryTags(const std::string& dataPath, const std::string& password) {
    DiaryTags out;
    TagCounter counter;
    for (const EntryDay& d : ListAllEntries(dataPath)) {
        char folder[8], name[8];
        std::snprintf(folder, sizeof folder, "/%04d", d.year);
        std::snprintf(name, sizeof name, "%02d%02d", d.month, d.day);
        try {
            const PaneContent pane = LoadPane(dataPath + folder, name, password);
            if (pane.source == PaneSource::Sealed) {
                ++out.sealed;
            } else if (pane.source != PaneSource::None) {
                counter.AddEntry(pane.text);
            }
        } catch (const AppError&) {
            ++out.unreadable;
        }
    }
    out.tags = counter.Counts();
    return out;
}

DiaryTags CountCorpusTags(const SearchCorpus& corpus) {
    DiaryTags out;
    // Only entries that hold a "#" (or "＃", folded to it) can hold a tag.
    const SearchResults r = corpus.Search(ParseQuery(std::string_view("#")));
    out.sealed = r.sealed;
    out.unreadable = r.unreadable;
    TagCounter counter;
    // Newest first in the results: counted oldest first.
    for (auto m = r.matches.rbegin(); m != r.matches.rend(); ++m) {
        counter.AddEntry(r.snapshot->entries[m->entry]->text);
    }
    out.tags = counter.Counts();
    return out;
}

}  // namespace kuv
