// The atom table.
//
// Layout: 256 bins, each a table of chunks of 256 name slots, one chunk added at a time. A
// name's bin is the sum of its upper-cased bytes modulo 256 and its atom is
// ((index + 1) << 8) | bin, so an atom names its slot directly and DeAtomize is a few reads.
//
// The byte-sum bins cluster badly (similar names have similar sums), so finding an existing
// name does not scan its bin: an open-addressing index keyed by a case-folded hash maps texts
// to atoms. The index is derived data; the bins alone decide what an atom is.
//
// Reading takes no lock (see AtomTable): a resource query turns every name of its path into
// an atom and every value back into text, on whichever threads the host queries from.
//
// Path splitting (AtomizeString, AtomizeVector):
//   path      := [sep] component { sep component } [sep]
//   sep       := "." | "*"
//   component := any bytes but "." and "*" (possibly none)
// A leading separator is the first component's binding; every later component is bound by the
// separator in front of it; a trailing separator adds nothing; at most 256 components count.
#include "nycl/res/Atom.h"

#include "res/AtomPath.h"
#include "res/ResPages.h"

#include <strings.h>

#include <atomic>
#include <cassert>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

namespace nycl {

namespace {

// Names are read a word at a time, their first bytes in the low bytes of the word.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the word loads assume little endian");

constexpr int kBins = 256;
constexpr int kBinGrowth = 256;  // a bin grows by one chunk of this many slots
constexpr size_t kTextBlock = 64 * 1024;
constexpr size_t kMaxTextBlock = 2 * 1024 * 1024;
constexpr size_t kFirstIndex = 1024;  // slots of the index made for the first names

inline unsigned char Fold(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

// Upper-cases the ASCII letters among eight bytes at once.
inline uint64_t FoldWord(uint64_t w) {
  constexpr uint64_t kHigh = 0x8080808080808080ull;
  const uint64_t low7 = w & ~kHigh;
  const uint64_t from_a = low7 + 0x1F1F1F1F1F1F1F1Full;  // high bit set where byte >= 'a'
  const uint64_t past_z = low7 + 0x0505050505050505ull;  // high bit set where byte > 'z'
  const uint64_t lower = from_a & ~past_z & ~w & kHigh;
  return w ^ (lower >> 2);
}

// The `length` (0 to 8) bytes at `p` as the low bytes of a word, the rest zero.
inline uint64_t LoadPartial(const char* p, size_t length) {
  uint64_t w = 0;
  std::memcpy(&w, p, length);
  return w;
}

inline uint64_t Load8(const char* p) {
  uint64_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

// LoadPartial for a caller that may read `readable` bytes at `p`: one whole word when the
// bytes behind the wanted ones may be read too.
inline uint64_t LoadTail(const char* p, size_t length, size_t readable) {
  if (length == 0) return 0;
  if (readable < 8) return LoadPartial(p, length);
  return Load8(p) & (~uint64_t{0} >> (64 - 8 * length));
}

inline unsigned int MakeResAtom(int bin, int index) {
  return (static_cast<unsigned int>(index + 1) << 8) | static_cast<unsigned int>(bin);
}

int BoundedLength(const char* name, int length) {
  if (length < 0) return static_cast<int>(std::strlen(name));
  const void* nul = std::memchr(name, '\0', static_cast<size_t>(length));
  return nul ? static_cast<int>(static_cast<const char*>(nul) - name) : length;
}

// Case-folded hash of a name, eight bytes at a time. `readable`: the bytes at `name` that may
// be read (at least `length`).
inline uint32_t HashName(const char* name, int length, size_t readable) {
  uint64_t h = 0x9E3779B97F4A7C15ull ^ static_cast<uint64_t>(length);
  size_t left = static_cast<size_t>(length);
  for (; left >= 8; left -= 8, name += 8, readable -= 8) {
    h = (h ^ FoldWord(Load8(name))) * 0xFF51AFD7ED558CCDull;
    h ^= h >> 32;
  }
  if (left > 0) h = (h ^ FoldWord(LoadTail(name, left, readable))) * 0xC4CEB9FE1A85EC53ull;
  h ^= h >> 29;
  return static_cast<uint32_t>(h);
}

inline uint32_t HashName(const char* name, int length) {
  return HashName(name, length, static_cast<size_t>(length));
}

// The sum of the eight bytes of a word: pairs of bytes added into 16-bit lanes, then the lanes
// added by one multiplication (no lane can carry into the next: at most 2040 each).
inline uint64_t ByteSum(uint64_t w) {
  constexpr uint64_t kLow = 0x00FF00FF00FF00FFull;
  const uint64_t pairs = (w & kLow) + ((w >> 8) & kLow);
  return (pairs * 0x0001000100010001ull) >> 48;
}

// The bin of a name: the sum of its upper-cased bytes modulo 256, eight bytes at a time.
inline int BinOf(const char* name, int length) {
  uint64_t sum = 0;
  size_t left = static_cast<size_t>(length);
  for (; left >= 8; left -= 8, name += 8) sum += ByteSum(FoldWord(Load8(name)));
  if (left > 0) sum += ByteSum(FoldWord(LoadPartial(name, left)));
  return static_cast<int>(sum & 0xff);
}

// True when `stored` is `name` (length bytes, no NUL among them) ignoring case.
inline bool SameName(const char* stored, const char* name, int length) {
  for (int i = 0; i < length; ++i) {
    if (stored[i] != name[i] &&
        Fold(static_cast<unsigned char>(stored[i])) != Fold(static_cast<unsigned char>(name[i]))) {
      return false;
    }
  }
  return stored[length] == '\0';
}

// A name of up to kHeadSize bytes is kept, upper-cased, in its index slot as well, so finding
// it compares two words in the slot's own cache line and never reads the (cold) stored text.
constexpr size_t kHeadSize = 15;
constexpr unsigned char kLongName = 0xff;

// One slot of the index. A slot is filled once, under the table lock, and `atom` is stored
// last (release): a reader that finds a non-zero atom (acquire) sees the whole slot.
struct IndexSlot {
  unsigned int atom;  // 0 marks a free slot; read and written atomically (AtomOf, Publish)
  uint32_t hash;
  const char* text;
  unsigned char head_length;  // the name's length when it fits in head, else kLongName
  char head[kHeadSize];       // upper-cased, zero-padded
};
static_assert(sizeof(IndexSlot) == 32, "two slots to a cache line");

inline unsigned int AtomOf(const IndexSlot& slot) {
  return __atomic_load_n(&slot.atom, __ATOMIC_ACQUIRE);
}

inline void Publish(IndexSlot& slot, unsigned int atom) {
  __atomic_store_n(&slot.atom, atom, __ATOMIC_RELEASE);
}

// Up to sixteen bytes of a name as two words, zero-padded.
struct Head {
  uint64_t first;
  uint64_t second;
};

// The `length` (0 to 16) bytes at `name` as they are. `readable`: the bytes at `name` that may
// be read (at least `length`).
inline Head WordsOf(const char* name, size_t length, size_t readable) {
  if (length >= 8) return {Load8(name), LoadTail(name + 8, length - 8, readable - 8)};
  return {LoadTail(name, length, readable), 0};
}

// The head of a name, as it is kept in a slot: upper-cased.
inline Head HeadOf(const char* name, size_t length, size_t readable) {
  const Head words = WordsOf(name, length, readable);
  return {FoldWord(words.first), FoldWord(words.second)};
}

inline Head HeadOf(const IndexSlot& slot) {
  Head head;
  std::memcpy(&head.first, slot.head, 8);
  head.second = Load8(slot.head + kHeadSize - 8) >> 8;  // the last seven bytes
  return head;
}

// True when `slot` holds `name` (length bytes, no NUL among them, `readable` bytes readable)
// ignoring case.
inline bool SlotHolds(const IndexSlot& slot, const char* name, int length, size_t readable) {
  if (static_cast<size_t>(length) > kHeadSize) {
    return slot.head_length == kLongName && SameName(slot.text, name, length);
  }
  if (slot.head_length != static_cast<unsigned char>(length)) return false;
  const Head stored = HeadOf(slot);
  const Head wanted = HeadOf(name, static_cast<size_t>(length), readable);
  return stored.first == wanted.first && stored.second == wanted.second;
}

// An index: a power-of-two array of slots, at most half full. Replaced, never changed in
// place but by filling free slots.
struct Index {
  // The slots come zeroed from the system, without a pass of their own, and a large index on
  // huge pages: a load fills its slots at random all over it.
  explicit Index(size_t size)
      : mask(size - 1), slots(static_cast<IndexSlot*>(MapZeroedPages(size * sizeof(IndexSlot)))) {
    if (slots == nullptr) std::exit(1);
  }
  ~Index() { UnmapPages(slots, (mask + 1) * sizeof(IndexSlot)); }
  Index(const Index&) = delete;
  Index& operator=(const Index&) = delete;
  size_t mask;
  IndexSlot* slots;  // all-zero bytes are free slots
};

// One bin: its names in chunks of kBinGrowth slots. The chunk table is replaced (never
// changed in place but by adding chunks) when it is full; `binsize` is stored (release) after
// the slot it counts has been written, so a reader that sees it sees the slot.
struct Bin {
  std::atomic<char***> chunks{nullptr};
  std::atomic<int32_t> binsize{0};
  int32_t capacity = 0;    // slots in the chunks
  int32_t chunk_room = 0;  // entries of the chunk table

  char*& Slot(char*** table, int32_t index) const {
    return table[index / kBinGrowth][index % kBinGrowth];
  }
};

// Moves on whenever an atom stops meaning the name it meant.
std::atomic<unsigned int> g_atom_epoch{0};

// Names are looked up without the lock: the index and the bins only ever gain entries, each
// published with a release store after it is complete, and what is replaced (an index that
// grew, a chunk table that grew) is kept until Destroy, since a reader may still be in it.
// Everything that writes takes the lock. Destroy, ShiftBin and ToUpperInPlace change entries
// in place; their callers ensure nobody reads them meanwhile (see Atom.h).
class AtomTable {
 public:
  std::mutex mutex;
  Bin bins[kBins];

  // The atom of a name already interned, or 0. Any thread, without the lock.
  unsigned int Find(const char* name, int length, uint32_t hash, size_t readable) const {
    const Index* index = index_.load(std::memory_order_acquire);
    if (index == nullptr) return 0;
    for (size_t i = hash & index->mask;; i = (i + 1) & index->mask) {
      const IndexSlot& slot = index->slots[i];
      const unsigned int atom = AtomOf(slot);
      if (atom == 0) return 0;
      if (slot.hash == hash && SlotHolds(slot, name, length, readable)) return atom;
    }
  }

  unsigned int Intern(const char* name, int length, bool upper) {
    return Intern(name, length, HashName(name, length), upper, static_cast<size_t>(length));
  }

  // `readable`: the bytes at `name` that may be read (at least `length`).
  unsigned int Intern(const char* name, int length, uint32_t hash, bool upper, size_t readable) {
    const uint64_t inserts = inserts_.load(std::memory_order_acquire);
    const unsigned int found = Find(name, length, hash, readable);
    if (found != 0) return found;
    std::lock_guard<std::mutex> lock(mutex);
    // Another thread may have interned it since the look: then look again.
    if (inserts_.load(std::memory_order_relaxed) != inserts) {
      const unsigned int now = Find(name, length, hash, readable);
      if (now != 0) return now;
    }
    return InternLocked(name, length, hash, upper);
  }

  void Prefetch(uint32_t hash) const {
    const Index* index = index_.load(std::memory_order_relaxed);
    if (index != nullptr) __builtin_prefetch(&index->slots[hash & index->mask]);
  }

  // Any thread, without the lock.
  const char* Text(unsigned int atom) const {
    if (atom == 0) return nullptr;
    const Bin& b = bins[atom & 0xff];
    const unsigned int pos = atom >> 8;
    const int32_t size = b.binsize.load(std::memory_order_acquire);
    const bool valid = pos > 0 && pos <= static_cast<unsigned int>(size);
    assert(valid && "pos > 0 && pos <= binsize[bin]");
    if (!valid) return nullptr;
    return b.Slot(b.chunks.load(std::memory_order_acquire), static_cast<int32_t>(pos - 1));
  }

  // Adds one chunk of kBinGrowth slots. REQUIRES: the lock.
  void ResizeBinLocked(int bin) {
    Bin& b = bins[bin];
    char*** table = b.chunks.load(std::memory_order_relaxed);
    const int32_t used_chunks = b.capacity / kBinGrowth;
    if (used_chunks == b.chunk_room) {
      const int32_t room = b.chunk_room == 0 ? 4 : 2 * b.chunk_room;
      auto* grown = static_cast<char***>(std::calloc(static_cast<size_t>(room), sizeof(char**)));
      if (grown == nullptr) std::exit(1);
      if (table != nullptr) {
        std::memcpy(grown, table, static_cast<size_t>(used_chunks) * sizeof(char**));
        retired_.push_back(table);
      }
      b.chunk_room = room;
      b.chunks.store(grown, std::memory_order_release);
      table = grown;
    }
    auto* chunk = static_cast<char**>(std::calloc(kBinGrowth, sizeof(char*)));
    if (chunk == nullptr) std::exit(1);
    table[used_chunks] = chunk;
    b.capacity += kBinGrowth;
  }

  // Takes the next slot, with `text` in it. REQUIRES: the lock.
  int AddBinLocked(int bin, char* text) {
    Bin& b = bins[bin];
    const int32_t index = b.binsize.load(std::memory_order_relaxed);
    if (index >= b.capacity) ResizeBinLocked(bin);
    b.Slot(b.chunks.load(std::memory_order_relaxed), index) = text;
    b.binsize.store(index + 1, std::memory_order_release);
    return index;
  }

  // REQUIRES: the lock, and nobody reading atoms of this bin.
  void ShiftBinLocked(int bin, int index) {
    Bin& b = bins[bin];
    int32_t size = b.binsize.load(std::memory_order_relaxed);
    if (index < 0) index = 0;
    if (index > size) index = size;
    if (size >= b.capacity) ResizeBinLocked(bin);
    char*** table = b.chunks.load(std::memory_order_relaxed);
    for (int32_t i = size; i > index; --i) b.Slot(table, i) = b.Slot(table, i - 1);
    b.Slot(table, index) = nullptr;
    b.binsize.store(size + 1, std::memory_order_release);
    RebuildIndex();
    g_atom_epoch.fetch_add(1, std::memory_order_release);
  }

  // REQUIRES: the lock, and nobody using atoms.
  void DestroyLocked() {
    for (Bin& b : bins) {
      char*** table = b.chunks.load(std::memory_order_relaxed);
      for (int32_t c = 0; c < b.capacity / kBinGrowth; ++c) std::free(table[c]);
      std::free(table);
      b.chunks.store(nullptr, std::memory_order_relaxed);
      b.binsize.store(0, std::memory_order_relaxed);
      b.capacity = 0;
      b.chunk_room = 0;
    }
    for (void* old : retired_) std::free(old);
    retired_.clear();
    for (const TextBlock& block : text_blocks_) UnmapPages(block.text, block.size);
    text_blocks_.clear();
    next_text_block_ = kTextBlock;
    text_next_ = nullptr;
    text_left_ = 0;
    index_.store(nullptr, std::memory_order_relaxed);
    indexes_.clear();
    used_ = 0;
    g_atom_generation.fetch_add(1, std::memory_order_relaxed);
    g_atom_epoch.fetch_add(1, std::memory_order_release);
  }

  // Grows the index for `names` more names. REQUIRES: the lock.
  void ReserveLocked(size_t names) {
    const Index* current = index_.load(std::memory_order_relaxed);
    size_t size = current == nullptr ? kFirstIndex : current->mask + 1;
    while ((used_ + names) * 2 > size) size *= 2;
    if (current == nullptr || size > current->mask + 1) Grow(size);
  }

 private:
  // Interns a name known to be missing. REQUIRES: the lock.
  unsigned int InternLocked(const char* name, int length, uint32_t hash, bool upper) {
    char* copy = StoreText(static_cast<size_t>(length) + 1);
    std::memcpy(copy, name, static_cast<size_t>(length));
    copy[length] = '\0';
    if (upper) {
      for (int i = 0; i < length; ++i) copy[i] = static_cast<char>(Fold(copy[i]));
    }
    const int bin = BinOf(name, length);
    const unsigned int atom = MakeResAtom(bin, AddBinLocked(bin, copy));
    IndexInsert(hash, atom, copy, static_cast<size_t>(length));
    return atom;
  }

  // Room for a name of `size` bytes. Names are packed in interning order into blocks, so
  // names that a file interns together lie together (and are found again together).
  // The first block is small and each later one twice the one before, up to kMaxTextBlock.
  char* StoreText(size_t size) {
    if (size > kTextBlock / 4) {
      char* own = static_cast<char*>(MapZeroedPages(size));
      if (own == nullptr) std::exit(1);
      text_blocks_.push_back({own, size});
      return own;
    }
    if (size > text_left_) {
      const size_t block = next_text_block_;
      text_next_ = static_cast<char*>(MapZeroedPages(block));
      if (text_next_ == nullptr) std::exit(1);
      text_blocks_.push_back({text_next_, block});
      text_left_ = block;
      if (next_text_block_ < kMaxTextBlock) next_text_block_ *= 2;
    }
    char* text = text_next_;
    text_next_ += size;
    text_left_ -= size;
    return text;
  }

  // Fills a free slot of `index` and publishes it. REQUIRES: the lock.
  static void Store(Index& index, uint32_t hash, unsigned int atom, const char* text,
                    size_t length) {
    size_t i = hash & index.mask;
    while (AtomOf(index.slots[i]) != 0) i = (i + 1) & index.mask;
    IndexSlot& slot = index.slots[i];
    slot.hash = hash;
    slot.text = text;
    slot.head_length = kLongName;
    if (length <= kHeadSize) {
      slot.head_length = static_cast<unsigned char>(length);
      const Head head = HeadOf(text, length, length + 1);
      std::memcpy(slot.head, &head.first, 8);
      std::memcpy(slot.head + 8, &head.second, kHeadSize - 8);
    }
    Publish(slot, atom);
  }

  void IndexInsert(uint32_t hash, unsigned int atom, const char* text, size_t length) {
    const Index* current = index_.load(std::memory_order_relaxed);
    if (current == nullptr || (used_ + 1) * 2 > current->mask + 1) {
      Grow(current == nullptr ? kFirstIndex : 2 * (current->mask + 1));
      current = index_.load(std::memory_order_relaxed);
    }
    Store(const_cast<Index&>(*current), hash, atom, text, length);
    ++used_;
    // After the slot is published: a thread that sees the count sees the slot.
    inserts_.store(inserts_.load(std::memory_order_relaxed) + 1, std::memory_order_release);
  }

  // Moves the entries into a new index of `size` slots and publishes it.
  void Grow(size_t size) {
    const Index* old = index_.load(std::memory_order_relaxed);
    auto grown = std::make_unique<Index>(size);
    if (old != nullptr) {
      for (size_t i = 0; i <= old->mask; ++i) {
        const IndexSlot& slot = old->slots[i];
        const unsigned int atom = AtomOf(slot);
        if (atom != 0) {
          // Store reads the length only to tell a name that fits in a slot.
          const size_t length = slot.head_length == kLongName ? kHeadSize + 1 : slot.head_length;
          Store(*grown, slot.hash, atom, slot.text, length);
        }
      }
    }
    index_.store(grown.get(), std::memory_order_release);
    indexes_.push_back(std::move(grown));
  }

  // A new index made from the bins, for atoms that moved.
  void RebuildIndex() {
    auto rebuilt =
        std::make_unique<Index>(indexes_.empty() ? kFirstIndex : indexes_.back()->mask + 1);
    used_ = 0;
    for (int bin = 0; bin < kBins; ++bin) {
      const Bin& b = bins[bin];
      char*** table = b.chunks.load(std::memory_order_relaxed);
      for (int32_t i = 0; i < b.binsize.load(std::memory_order_relaxed); ++i) {
        const char* text = b.Slot(table, i);
        if (text == nullptr) continue;
        const size_t length = std::strlen(text);
        Store(*rebuilt, HashName(text, static_cast<int>(length)), MakeResAtom(bin, i), text,
              length);
        ++used_;
      }
    }
    index_.store(rebuilt.get(), std::memory_order_release);
    indexes_.push_back(std::move(rebuilt));
  }

  std::atomic<const Index*> index_{nullptr};
  std::atomic<uint64_t> inserts_{0};             // names interned since the table began
  std::vector<std::unique_ptr<Index>> indexes_;  // the current one last
  size_t used_ = 0;
  std::vector<void*> retired_;  // chunk tables replaced by larger ones
  struct TextBlock {
    char* text;
    size_t size;
  };
  std::vector<TextBlock> text_blocks_;
  size_t next_text_block_ = kTextBlock;
  char* text_next_ = nullptr;
  size_t text_left_ = 0;
};

AtomTable& Table() {
  static AtomTable* table = new AtomTable();  // never destroyed: Destroy empties it
  return *table;
}

// The first "." or "*" in [p, end), or `end`; eight bytes at a time while they lie before it.
inline const char* FindSeparator(const char* p, const char* end) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  constexpr uint64_t kHigh = 0x8080808080808080ull;
  while (end - p >= 8) {
    const uint64_t w = Load8(p);
    const uint64_t dots = w ^ (kOnes * '.');
    const uint64_t stars = w ^ (kOnes * '*');
    // The lowest flagged byte is the first zero byte of either word (a flag above it may be
    // false, never one below).
    const uint64_t hit = (((dots - kOnes) & ~dots) | ((stars - kOnes) & ~stars)) & kHigh;
    if (hit != 0) return p + (__builtin_ctzll(hit) >> 3);
    p += 8;
  }
  while (p < end && *p != '.' && *p != '*') ++p;
  return p;
}

// A thread's cache of the path names it looked up, in front of the index: resource paths are
// made of a few hundred names used over and over, and finding one here compares the raw bytes
// of the name in one small entry, without folding its case or probing the large index. The
// bytes as written are the key, so each spelling of a name has an entry of its own; all give
// the atom of the name. Names of up to kCachedName bytes are cached, in an open-addressing
// table that is emptied when it is half full (it keeps the names used since then). An entry
// stays valid until an atom changes (Destroy, ShiftBin), which moves g_atom_epoch on: a thread
// then empties its cache before its next lookup.
constexpr size_t kCachedName = 16;
constexpr int kRecentBits = 11;

class RecentNames {
 public:
  explicit RecentNames(unsigned int epoch) : epoch_(epoch) {}

  // Where `name` (length bytes, at most kCachedName, `readable` bytes readable) is or goes.
  struct Key {
    uint64_t first;   // bytes 0 to 7, zero-padded
    uint64_t second;  // bytes 8 to 15, zero-padded
    uint32_t length;
  };
  static Key KeyOf(const char* name, size_t length, size_t readable) {
    const Head words = WordsOf(name, length, readable);
    return {words.first, words.second, static_cast<uint32_t>(length)};
  }

  // The atom cached for `key`, or 0.
  unsigned int Find(const Key& key) const {
    for (size_t i = Slot(key);; i = (i + 1) & kMask) {
      const Entry& entry = entries_[i];
      if (entry.atom == 0) return 0;
      if (entry.first == key.first && entry.second == key.second && entry.length == key.length) {
        return entry.atom;
      }
    }
  }

  // REQUIRES: `key` is not cached.
  void Add(const Key& key, unsigned int atom) {
    if (used_ == kSize / 2) Clear();
    size_t i = Slot(key);
    while (entries_[i].atom != 0) i = (i + 1) & kMask;
    entries_[i] = {key.first, key.second, key.length, atom};
    ++used_;
  }

  // Empties the cache when atoms changed since it was filled.
  void Check(unsigned int epoch) {
    if (__builtin_expect(epoch != epoch_, 0)) {
      Clear();
      epoch_ = epoch;
    }
  }

 private:
  static constexpr size_t kSize = size_t{1} << kRecentBits;
  static constexpr size_t kMask = kSize - 1;

  struct Entry {
    uint64_t first;
    uint64_t second;
    uint32_t length;
    unsigned int atom;  // 0 for a free entry
  };

  static size_t Slot(const Key& key) {
    const uint64_t h =
        (key.first ^ (key.second * 0xC2B2AE3D27D4EB4Full) ^ key.length) * 0x9E3779B97F4A7C15ull;
    return static_cast<size_t>(h >> (64 - kRecentBits));
  }

  void Clear() {
    std::memset(static_cast<void*>(entries_), 0, sizeof entries_);
    used_ = 0;
  }

  unsigned int epoch_;
  size_t used_ = 0;
  Entry entries_[kSize] = {};
};

// The thread's cache: null until its first use, kNoRecent once the thread is ending (names are
// then looked up in the index alone). One word of initial thread storage, reached with one load.
RecentNames* const kNoRecent = reinterpret_cast<RecentNames*>(uintptr_t{1});
__thread RecentNames* tls_recent __attribute__((tls_model("initial-exec"))) = nullptr;

struct RecentNamesOwner {
  ~RecentNamesOwner() {
    RecentNames* recent = tls_recent;
    tls_recent = kNoRecent;
    if (recent != kNoRecent) delete recent;
  }
};

RecentNames* FirstRecent() {
  thread_local RecentNamesOwner owner;
  (void)owner;
  if (tls_recent == nullptr) {
    tls_recent = new (std::nothrow) RecentNames(g_atom_epoch.load(std::memory_order_acquire));
  }
  return tls_recent;
}

// The thread's cache, emptied first when atoms changed since its last use; null when there is
// none.
inline RecentNames* Recent() {
  RecentNames* recent = tls_recent;
  if (__builtin_expect(recent == nullptr, 0)) recent = FirstRecent();
  if (recent == nullptr || recent == kNoRecent) return nullptr;
  recent->Check(g_atom_epoch.load(std::memory_order_acquire));
  return recent;
}

// Splits `path`, handing each component's atom and binding to `sink`.
template <typename Sink>
int SplitPath(const char* path, bool upper, Sink sink) {
  if (path == nullptr) return 0;
  const char* start = path;
  const char* const path_end = path + std::strlen(path);  // its NUL may be read too
  char binding = 0;
  if (*start == '.' || *start == '*') binding = *start++;
  if (*start == '\0') return 0;
  RecentNames* recent = Recent();
  int count = 0;
  for (;;) {
    const char* end = FindSeparator(start, path_end);
    const size_t length = static_cast<size_t>(end - start);
    const size_t readable = static_cast<size_t>(path_end - start) + 1;
    const bool cached = length <= kCachedName && recent != nullptr;
    RecentNames::Key key;
    unsigned int atom = 0;
    if (cached) {
      key = RecentNames::KeyOf(start, length, readable);
      atom = recent->Find(key);
    }
    if (atom == 0) {
      const int size = static_cast<int>(length);
      atom = Table().Intern(start, size, HashName(start, size, readable), upper, readable);
      if (cached) recent->Add(key, atom);
    }
    sink(atom, binding);
    // A trailing separator adds no component.
    if (++count == kMaxPathComponents || *end == '\0' || end[1] == '\0') return count;
    binding = *end;
    start = end + 1;
  }
}

}  // namespace

std::atomic<unsigned int> g_atom_generation{0};

// Empties the table when the process ends.
static Atom atom_table_owner;

Atom::~Atom() {
  Destroy();
}

unsigned int Atom::Atomize(const char* name, int length) {
  if (name == nullptr) return 0;
  return Table().Intern(name, BoundedLength(name, length), false);
}

unsigned int Atom::Atomize(const char* name) {
  return name ? Atomize(name, -1) : 0;
}

unsigned int Atom::AtomizeUpper(const char* name, int length) {
  if (name == nullptr) return 0;
  return Table().Intern(name, BoundedLength(name, length), true);
}

const char* Atom::DeAtomize(unsigned int atom) {
  return Table().Text(atom);
}

int SplitPathAtoms(const char* path, bool upper, unsigned int* atoms, char* bindings) {
  int count = 0;
  SplitPath(path, upper, [&](unsigned int atom, char binding) {
    atoms[count] = atom;
    if (bindings != nullptr) bindings[count] = binding;
    ++count;
  });
  return count;
}

int Atom::AtomizeString(const char* path, unsigned int** atoms, char** bindings) {
  unsigned int found_atoms[kMaxPathComponents];
  char found_bindings[kMaxPathComponents];
  int count = SplitPathAtoms(path, false, found_atoms, found_bindings);
  *atoms = static_cast<unsigned int*>(std::malloc((count + 1) * sizeof(unsigned int)));
  *bindings = static_cast<char*>(std::malloc(static_cast<size_t>(count) + 1));
  assert(*atoms && "*atoms");
  assert(*bindings && "*bindings");
  if (*atoms == nullptr || *bindings == nullptr) std::exit(1);
  std::memcpy(*atoms, found_atoms, count * sizeof(unsigned int));
  std::memcpy(*bindings, found_bindings, static_cast<size_t>(count));
  (*atoms)[count] = 0;
  (*bindings)[count] = '\0';
  return count;
}

void Atom::FreeAtomizedString(unsigned int** atoms, char** bindings) {
  if (atoms != nullptr) {
    std::free(*atoms);
    *atoms = nullptr;
  }
  if (bindings != nullptr) {
    std::free(*bindings);
    *bindings = nullptr;
  }
}

std::list<unsigned int> Atom::AtomizeVector(const char* path) {
  std::list<unsigned int> result;
  SplitPath(path, false, [&](unsigned int atom, char) { result.push_back(atom); });
  return result;
}

void Atom::Display(FILE* stream, int indent, const unsigned int* atoms, const char* bindings) {
  std::fprintf(stream, "%*s", indent, "");
  if (atoms == nullptr) return;
  for (int i = 0; atoms[i] != 0; ++i) {
    const char* text = DeAtomize(atoms[i]);
    if (text == nullptr) text = "";
    if (bindings != nullptr) {
      std::fprintf(stream, "<%c> %s ", bindings[i] ? bindings[i] : ' ', text);
    } else {
      std::fprintf(stream, ". %s ", text);
    }
  }
}

bool Atom::IsTrueFalse(unsigned int atom) {
  const char* text = DeAtomize(atom);
  if (text == nullptr) return false;
  if (strcasecmp(text, "TRUE") == 0 || strcasecmp(text, "YES") == 0) return true;
  return std::atoi(text) != 0;
}

void Atom::Destroy() {
  AtomTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  table.DestroyLocked();
}

int Atom::EvalBin(const char* name, int length) {
  if (name == nullptr) return 0;
  return BinOf(name, BoundedLength(name, length));
}

void Atom::ResizeBin(int bin) {
  AtomTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  table.ResizeBinLocked(bin & 0xff);
}

int Atom::AddBin(int bin) {
  AtomTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  return table.AddBinLocked(bin & 0xff, nullptr);
}

void Atom::ShiftBin(int bin, int index) {
  AtomTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  table.ShiftBinLocked(bin & 0xff, index);
}

void Atom::ToUpperInPlace(unsigned int atom) {
  AtomTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  char* text = const_cast<char*>(table.Text(atom));
  if (text == nullptr) return;
  for (; *text != '\0'; ++text) *text = static_cast<char>(Fold(static_cast<unsigned char>(*text)));
}

void Atom::Prefetch(const char* name, int length) {
  if (name == nullptr) return;
  Table().Prefetch(HashName(name, BoundedLength(name, length)));
}

void ReserveAtoms(size_t names) {
  AtomTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  table.ReserveLocked(names);
}

unsigned int Atom::Generation() {
  return g_atom_generation.load(std::memory_order_relaxed);
}

}  // namespace nycl
