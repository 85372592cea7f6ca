#include <algorithm>
#include <mutex>
#include <unordered_set>
#include <utility>

#include "diary/parallel_days.h"
#include "diary/search.h"
#include "diary/search_entry.h"
#include "diary/search_fold.h"

namespace kuv {

namespace {

using search_detail::KeyOf;

int KeyOfAny(int key) {
    return key;
}
int KeyOfAny(const EntryDay& d) {
    return KeyOf(d.year, d.month, d.day);
}

std::uint8_t StateOf(const CorpusEntry& e) {
    if (e.unreadable) return CorpusSnapshot::kUnreadable;
    return e.source == PaneSource::Sealed ? CorpusSnapshot::kSealed : CorpusSnapshot::kSearchable;
}

// Newest first.
bool Newer(const std::shared_ptr<const CorpusEntry>& e, int key) {
    return e->key > key;
}

bool FromLocked(PaneSource s) {
    return s == PaneSource::Locked || s == PaneSource::Sealed || s == PaneSource::Raw ||
           s == PaneSource::Strong || s == PaneSource::StrongWide;
}

// Folds the texts of entries into one slab, in their order, and points each
// entry at its part.
void FoldIntoSlab(std::vector<std::shared_ptr<CorpusEntry>>& entries) {
    std::string slab;
    std::string buffer;
    std::size_t bytes = 0;
    for (const auto& e : entries) bytes += e->text.size();
    slab.reserve(bytes + bytes / 8);
    for (const auto& e : entries) {
        const std::string_view folded = FoldTextInto(e->text, buffer);
        e->foldedAt = static_cast<std::uint32_t>(slab.size());
        e->foldedSize = static_cast<std::uint32_t>(folded.size());
        slab += folded;
    }
    // Copied out at its size: a reserve guessed for the worst case keeps slack.
    auto shared = std::make_shared<const std::string>(slab);
    for (const auto& e : entries) e->slab = shared;
}

// The same with the texts folded already, in the entries' order.
void LayIntoSlab(std::vector<std::shared_ptr<CorpusEntry>>& entries,
                 const std::vector<std::string>& folded) {
    std::size_t bytes = 0;
    for (const std::string& f : folded) bytes += f.size();
    std::string slab;
    slab.reserve(bytes);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        entries[i]->foldedAt = static_cast<std::uint32_t>(slab.size());
        entries[i]->foldedSize = static_cast<std::uint32_t>(folded[i].size());
        slab += folded[i];
    }
    auto shared = std::make_shared<const std::string>(std::move(slab));
    for (const auto& e : entries) e->slab = shared;
}

// Days a thread of a load step reads and folds at a time.
constexpr std::size_t kReadBatchDays = 16;

// A slab holds at most this many days, so that a large one does not stay
// alive for the sake of a few days after the rest of it has been replaced.
constexpr std::size_t kSlabDays = 128;

// How much folded text is counted to know the rare bytes.
constexpr std::size_t kCountedBytes = std::size_t{1} << 20;

}  // namespace

SearchCorpus::SearchCorpus(std::string dataPath) : dataPath_(std::move(dataPath)) {}

SearchCorpus::~SearchCorpus() = default;

const CorpusEntry* SearchCorpus::Find(int key) const {
    const auto it = std::lower_bound(entries_.begin(), entries_.end(), key, Newer);
    return it != entries_.end() && (*it)->key == key ? it->get() : nullptr;
}

void SearchCorpus::Update(std::vector<EntryPtr> fresh, const std::vector<int>& gone) {
    for (int key : gone) {
        const auto it = std::lower_bound(entries_.begin(), entries_.end(), key, Newer);
        if (it != entries_.end() && (*it)->key == key) entries_.erase(it);
    }
    for (EntryPtr& e : fresh) {
        // A first load comes newest first: every day goes at the end.
        if (entries_.empty() || entries_.back()->key > e->key) {
            entries_.push_back(std::move(e));
            continue;
        }
        const auto it = std::lower_bound(entries_.begin(), entries_.end(), e->key, Newer);
        if (it != entries_.end() && (*it)->key == e->key) {
            *it = std::move(e);
        } else {
            entries_.insert(it, std::move(e));
        }
    }
}

void SearchCorpus::Publish() {
    auto snapshot = std::make_shared<CorpusSnapshot>();
    snapshot->entries = entries_;
    snapshot->scan.reserve(entries_.size());
    for (const EntryPtr& e : entries_) {
        const std::string_view folded = e->Folded();
        snapshot->scan.push_back(CorpusSnapshot::Scan{folded.data(),
                                                      static_cast<std::uint32_t>(folded.size()),
                                                      e->key, StateOf(*e), e->source});
    }
    snapshot->counts = counts_;
    snapshot->complete = next_ >= queue_.size();
    std::shared_ptr<const CorpusSnapshot> old;
    {
        std::lock_guard lock(mutex_);
        old = std::exchange(current_, std::move(snapshot));
    }
    // The old snapshot goes here, outside the lock, unless a query holds it.
}

std::shared_ptr<const CorpusSnapshot> SearchCorpus::Current() const {
    std::lock_guard lock(mutex_);
    return current_;
}

void SearchCorpus::BeginRefresh(const std::string& password) {
    std::vector<EntryDay> listed = ListAllEntries(dataPath_);
    std::reverse(listed.begin(), listed.end());

    // Days that are gone, and, when the password changed, every locked day:
    // text decoded under the old password must not stay searchable, and what
    // was sealed may open now.
    const bool passwordChanged = password != password_;
    std::vector<int> gone;
    for (const EntryPtr& e : entries_) {
        const bool listedDay = std::binary_search(
            listed.begin(), listed.end(), e->key,
            [](const auto& a, const auto& b) { return KeyOfAny(a) > KeyOfAny(b); });
        if (!listedDay || (passwordChanged && FromLocked(e->source))) gone.push_back(e->key);
    }

    password_ = password;
    StartRefresh(std::move(listed), gone);
}

void SearchCorpus::BeginRefreshYears(const std::string& password, const std::vector<int>& years) {
    if (password != password_) {
        BeginRefresh(password);
        return;
    }
    const auto named = [&](int year) {
        return std::find(years.begin(), years.end(), year) != years.end();
    };
    std::vector<EntryDay> listed;
    for (int year : years) {
        const std::vector<EntryDay> days = ListEntries(dataPath_, year);
        listed.insert(listed.end(), days.begin(), days.end());
    }
    // What an unfinished refresh had yet to look at.
    for (std::size_t i = next_; i < queue_.size(); ++i) {
        if (!named(queue_[i].year)) listed.push_back(queue_[i]);
    }
    std::sort(listed.begin(), listed.end(),
              [](const EntryDay& a, const EntryDay& b) { return KeyOfAny(a) > KeyOfAny(b); });
    listed.erase(std::unique(listed.begin(), listed.end(),
                             [](const EntryDay& a, const EntryDay& b) {
                                 return KeyOfAny(a) == KeyOfAny(b);
                             }),
                 listed.end());
    std::vector<int> gone;
    for (const EntryPtr& e : entries_) {
        if (!named(e->key / 10000)) continue;
        const bool listedDay = std::binary_search(
            listed.begin(), listed.end(), e->key,
            [](const auto& a, const auto& b) { return KeyOfAny(a) > KeyOfAny(b); });
        if (!listedDay) gone.push_back(e->key);
    }
    StartRefresh(std::move(listed), gone);
}

void SearchCorpus::StartRefresh(std::vector<EntryDay> listed, const std::vector<int>& gone) {
    queue_ = std::move(listed);
    next_ = 0;
    loaded_ = false;
    done_ = 0;
    total_ = queue_.size();
    Update({}, gone);
    Publish();
    unpublished_ = 0;
}

bool SearchCorpus::Unchanged(const EntryDay& day, const CorpusEntry& held) const {
    if (held.unreadable) return false;
    std::string folder, name;
    search_detail::DayPaths(dataPath_, day, folder, name);
    fsio::FileStamp plain, locked;
    if (day.plain) fsio::StampOf(folder + "/" + name + ".dia", plain);
    // A sealed entry stands where a locked one would: the two never hold a
    // day together once a conversion is done.
    if (day.strong) {
        fsio::StampOf(folder + "/" + name + ".kvd", locked);
    } else if (day.locked) {
        fsio::StampOf(folder + "/" + name + ".xda", locked);
    }
    return plain == held.plainStamp && locked == held.lockedStamp;
}

bool SearchCorpus::LoadStep(std::size_t maxDays) {
    std::vector<std::shared_ptr<CorpusEntry>> fresh;
    std::vector<int> gone;
    const std::size_t end =
        std::min(queue_.size(), next_ + std::clamp<std::size_t>(maxDays, 1, kSlabDays));
    // The days to read, looked at here; read and folded on every core.
    std::vector<const EntryDay*> toRead;
    std::vector<bool> wasHeld;
    for (; next_ < end; ++next_) {
        const EntryDay& d = queue_[next_];
        const CorpusEntry* held = Find(KeyOf(d.year, d.month, d.day));
        if (held != nullptr && Unchanged(d, *held)) continue;
        toRead.push_back(&d);
        wasHeld.push_back(held != nullptr);
    }
    std::vector<search_detail::DayText> read(toRead.size());
    std::vector<std::string> folded(toRead.size());
    ForEachBatch(toRead.size(), kReadBatchDays, 0, [&](std::size_t begin, std::size_t stop) {
        for (std::size_t i = begin; i < stop; ++i) {
            read[i] = search_detail::ReadDay(dataPath_, *toRead[i], password_);
            folded[i] = FoldText(read[i].text);
        }
    });
    std::vector<std::string> foldedFresh;
    for (std::size_t i = 0; i < toRead.size(); ++i) {
        const EntryDay& d = *toRead[i];
        const int key = KeyOf(d.year, d.month, d.day);
        search_detail::DayText& day = read[i];
        if (day.source == PaneSource::None && !day.unreadable) {
            if (wasHeld[i]) gone.push_back(key);
            continue;
        }
        auto e = std::make_shared<CorpusEntry>();
        e->key = key;
        e->source = day.source;
        e->unreadable = day.unreadable;
        e->plainStamp = day.plainStamp;
        e->lockedStamp = day.lockedStamp;
        e->text = std::move(day.text);
        if (e->text.capacity() > e->text.size() + e->text.size() / 32) e->text.shrink_to_fit();
        fresh.push_back(std::move(e));
        foldedFresh.push_back(std::move(folded[i]));
    }
    if (!fresh.empty()) {
        LayIntoSlab(fresh, foldedFresh);
        if (counted_ < kCountedBytes) {
            // The bytes of the first megabyte or so tell which ones are rare.
            CountBytes(*fresh.front()->slab, counts_);
            counted_ += fresh.front()->slab->size();
        }
    }
    unpublished_ += fresh.size() + gone.size();
    Update(std::vector<EntryPtr>(fresh.begin(), fresh.end()), gone);
    const bool more = next_ < queue_.size();
    if (!more) Compact();
    // A snapshot copies the list of entries, so a step publishes only once
    // the changes come to an eighth of the list: the copies then cost a
    // small multiple of one list, and the first days show at once. The last
    // step always publishes: its snapshot says the diary is loaded whole.
    if (!more || (unpublished_ > 0 && unpublished_ * 8 >= entries_.size())) {
        Publish();
        unpublished_ = 0;
    }
    done_ = next_;
    if (!more) loaded_ = true;
    return more;
}

void SearchCorpus::Compact() {
    // Days read again keep the slabs of their old copies alive as long as a
    // neighbour uses them; when that is a quarter of what is held, all
    // slabs are laid out anew in order.
    std::unordered_set<const std::string*> seen;
    std::size_t held = 0, live = 0;
    for (const EntryPtr& e : entries_) {
        live += e->foldedSize;
        if (e->slab && seen.insert(e->slab.get()).second) held += e->slab->size();
    }
    if (held <= live + live / 4) return;
    std::vector<EntryPtr> laid;
    laid.reserve(entries_.size());
    for (std::size_t i = 0; i < entries_.size(); i += kSlabDays) {
        std::vector<std::shared_ptr<CorpusEntry>> batch;
        for (std::size_t k = i; k < std::min(entries_.size(), i + kSlabDays); ++k) {
            auto copy = std::make_shared<CorpusEntry>(*entries_[k]);
            copy->slab.reset();
            batch.push_back(std::move(copy));
        }
        FoldIntoSlab(batch);
        laid.insert(laid.end(), batch.begin(), batch.end());
    }
    entries_.swap(laid);
}

bool SearchCorpus::Refresh(const std::string& password, std::stop_token stop,
                           const std::function<void(LoadProgress)>& progress) {
    BeginRefresh(password);
    bool more = true;
    while (more) {
        if (stop.stop_requested()) return false;
        more = LoadStep();
        if (progress) progress(Progress());
    }
    return true;
}

LoadProgress SearchCorpus::Progress() const {
    return LoadProgress{done_.load(), total_.load()};
}

CorpusStats SearchCorpus::Stats() const {
    const std::shared_ptr<const CorpusSnapshot> snapshot = Current();
    CorpusStats s;
    if (!snapshot) return s;
    const auto& entries = snapshot->entries;
    s.entries = entries.size();
    // An entry costs its object with the shared count beside it and its
    // text's heap block; each slab counts once; the snapshot its two lists,
    // and the loading side a list like the first.
    constexpr std::size_t kControlBlock = 16;
    std::unordered_set<const std::string*> slabs;
    s.memoryBytes = 2 * entries.capacity() * sizeof(EntryPtr) +
                    snapshot->scan.capacity() * sizeof(CorpusSnapshot::Scan);
    for (const EntryPtr& e : entries) {
        s.textBytes += e->text.size();
        s.memoryBytes += sizeof(CorpusEntry) + kControlBlock;
        if (e->text.capacity() > 15) s.memoryBytes += e->text.capacity() + 1;
        if (e->slab && slabs.insert(e->slab.get()).second) {
            s.foldedBytes += e->slab->size();
            s.memoryBytes += sizeof(std::string) + kControlBlock + e->slab->capacity() + 1;
        }
        s.sealed += e->source == PaneSource::Sealed ? 1 : 0;
        s.unreadable += e->unreadable ? 1 : 0;
    }
    return s;
}

SearchResults SearchCorpus::Search(const SearchQuery& query) const {
    return search_detail::SearchSnapshot(Current(), query);
}

}  // namespace kuv
