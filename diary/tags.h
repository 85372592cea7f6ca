#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Tags: words of an entry that begin with "#" or "＃" (#旅行, ＃家族). A tag
// runs to the next white space or punctuation and counts folded like a
// search term (diary/search_fold.h), so #ﾘｮｺｳ and #りょこう are one tag.
namespace kuv {

struct Tag {
    std::string text;    // code page 932, as written, without its "#"
    std::string folded;  // what tells tags apart
};

// The tags of one entry's text (code page 932), each once, in the order
// they first appear. A "#" right after a Latin letter or digit
// (page.html#top, C#) starts no tag.
std::vector<Tag> TagsOf(std::string_view cp932Text);

struct TagCount {
    std::string text;  // as first written, without its "#"
    std::string folded;
    std::size_t days = 0;  // days whose entry holds the tag
};

// Counts the tags of entries added one day at a time.
class TagCounter {
  public:
    // One day's entry; days are best added oldest first, so that a tag shows
    // as it was first written.
    void AddEntry(std::string_view cp932Text);
    // Most used first; equal counts by their folded text.
    std::vector<TagCount> Counts() const;

  private:
    std::vector<TagCount> tags_;
    std::unordered_map<std::string, std::size_t> index_;  // folded -> tags_
};

// The tags of a whole data folder, its entries read as the window reads them,
// oldest first.
struct DiaryTags {
    std::vector<TagCount> tags;  // most used first
    std::size_t sealed = 0;      // locked entries the password does not open: left out
    std::size_t unreadable = 0;  // entry files that could not be read: left out
};
DiaryTags CountDiaryTags(const std::string& dataPath, const std::string& password);

class SearchCorpus;
// The same from the entries a search corpus has loaded so far, for the
// search window's tag list: nothing is read again. Safe from any thread.
DiaryTags CountCorpusTags(const SearchCorpus& corpus);

}  // namespace kuv
