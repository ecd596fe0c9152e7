// The atom table.
//
// Layout: 256 bins, each an array of heap names that grows by 256 slots at a time. A name's
// bin is the sum of its upper-cased bytes modulo 256 and its atom is ((index + 1) << 8) | bin,
// so an atom names its slot directly and DeAtomize is two array reads.
//
// The byte-sum bins cluster badly (similar names have similar sums), so finding an existing
// name does not scan its bin: an open-addressing index keyed by a case-folded FNV-1a hash maps
// texts to atoms. The index is derived data; the bins alone decide what an atom is.
//
// Path splitting (AtomizeString, AtomizeVector):
//   path      := [sep] component { sep component } [sep]
//   sep       := "." | "*"
//   component := any bytes but "." and "*" (possibly none)
// A leading separator is the first component's binding; every later component is bound by the
// separator in front of it; a trailing separator adds nothing; at most 256 components count.
#include "nycl/res/Atom.h"

#include "res/AtomPath.h"

#include <strings.h>

#include <atomic>
#include <cassert>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace nycl {

namespace {

constexpr int kBins = 256;
constexpr int kBinGrowth = 256;
constexpr size_t kTextBlock = 64 * 1024;

inline unsigned char Fold(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

inline unsigned int MakeResAtom(int bin, int index) {
  return (static_cast<unsigned int>(index + 1) << 8) | static_cast<unsigned int>(bin);
}

int BoundedLength(const char* name, int length) {
  if (length < 0) return static_cast<int>(std::strlen(name));
  const void* nul = std::memchr(name, '\0', static_cast<size_t>(length));
  return nul ? static_cast<int>(static_cast<const char*>(nul) - name) : length;
}

// Case-folded hash and bin of a name in one pass.
inline void HashName(const char* name, int length, uint32_t* hash, int* bin) {
  uint32_t h = 2166136261u;
  unsigned int sum = 0;
  for (int i = 0; i < length; ++i) {
    unsigned char c = Fold(static_cast<unsigned char>(name[i]));
    sum += c;
    h = (h ^ c) * 16777619u;
  }
  *hash = h;
  *bin = static_cast<int>(sum & 0xff);
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

struct Bin {
  int32_t binsize = 0;
  int32_t capacity = 0;
  char** names = nullptr;
};

// A name of up to kHeadSize bytes is kept in its slot as well, so finding it compares bytes
// in the slot's own cache line and never reads the (cold) stored text.
constexpr size_t kHeadSize = 15;
constexpr unsigned char kLongName = 0xff;

struct IndexSlot {
  uint32_t hash;
  unsigned int atom;  // 0 marks a free slot
  const char* text;
  unsigned char head_length;  // the name's length when it fits in head, else kLongName
  char head[kHeadSize];
};
static_assert(sizeof(IndexSlot) == 32, "two slots to a cache line");

// True when `slot` holds `name` (length bytes, no NUL among them) ignoring case.
inline bool SlotHolds(const IndexSlot& slot, const char* name, int length) {
  if (static_cast<size_t>(length) > kHeadSize) {
    return slot.head_length == kLongName && SameName(slot.text, name, length);
  }
  if (slot.head_length != static_cast<unsigned char>(length)) return false;
  for (int i = 0; i < length; ++i) {
    if (slot.head[i] != name[i] && Fold(static_cast<unsigned char>(slot.head[i])) !=
                                       Fold(static_cast<unsigned char>(name[i]))) {
      return false;
    }
  }
  return true;
}

IndexSlot MakeSlot(uint32_t hash, unsigned int atom, const char* text, size_t length) {
  IndexSlot slot{hash, atom, text, kLongName, {}};
  if (length <= kHeadSize) {
    slot.head_length = static_cast<unsigned char>(length);
    std::memcpy(slot.head, text, length);
  }
  return slot;
}

class AtomTable {
 public:
  std::mutex mutex;
  Bin bins[kBins];
  std::atomic<unsigned int> generation{0};

  unsigned int InternLocked(const char* name, int length, bool upper) {
    uint32_t hash;
    int bin;
    HashName(name, length, &hash, &bin);
    if (!index_.empty()) {
      size_t mask = index_.size() - 1;
      for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const IndexSlot& slot = index_[i];
        if (slot.atom == 0) break;
        if (slot.hash == hash && SlotHolds(slot, name, length)) return slot.atom;
      }
    }
    char* copy = StoreText(static_cast<size_t>(length) + 1);
    std::memcpy(copy, name, static_cast<size_t>(length));
    copy[length] = '\0';
    if (upper) {
      for (int i = 0; i < length; ++i) copy[i] = static_cast<char>(Fold(copy[i]));
    }
    int position = AddBinLocked(bin);
    bins[bin].names[position] = copy;
    unsigned int atom = MakeResAtom(bin, position);
    IndexInsert(MakeSlot(hash, atom, copy, static_cast<size_t>(length)));
    return atom;
  }

  // The index as seen without the lock, for prefetch hints only (a stale view is harmless).
  std::atomic<const IndexSlot*> hint_slots{nullptr};
  std::atomic<size_t> hint_mask{0};

  void Prefetch(uint32_t hash) const {
    const IndexSlot* slots = hint_slots.load(std::memory_order_relaxed);
    if (slots != nullptr)
      __builtin_prefetch(slots + (hash & hint_mask.load(std::memory_order_relaxed)));
  }

  const char* TextLocked(unsigned int atom) const {
    if (atom == 0) return nullptr;
    int bin = static_cast<int>(atom & 0xff);
    unsigned int pos = atom >> 8;
    bool valid = pos > 0 && pos <= static_cast<unsigned int>(bins[bin].binsize);
    assert(valid && "pos > 0 && pos <= binsize[bin]");
    if (!valid) return nullptr;
    return bins[bin].names[pos - 1];
  }

  void ResizeBinLocked(int bin) {
    Bin& b = bins[bin];
    size_t slots = static_cast<size_t>(b.capacity) + kBinGrowth;
    void* grown = std::realloc(b.names, slots * sizeof(char*));
    if (grown == nullptr) std::exit(1);
    b.names = static_cast<char**>(grown);
    for (size_t i = static_cast<size_t>(b.capacity); i < slots; ++i) b.names[i] = nullptr;
    b.capacity = static_cast<int32_t>(slots);
  }

  int AddBinLocked(int bin) {
    Bin& b = bins[bin];
    if (b.binsize >= b.capacity) ResizeBinLocked(bin);
    b.names[b.binsize] = nullptr;
    return b.binsize++;
  }

  void ShiftBinLocked(int bin, int index) {
    Bin& b = bins[bin];
    if (index < 0) index = 0;
    if (index > b.binsize) index = b.binsize;
    if (b.binsize >= b.capacity) ResizeBinLocked(bin);
    std::memmove(b.names + index + 1, b.names + index,
                 static_cast<size_t>(b.binsize - index) * sizeof(char*));
    b.names[index] = nullptr;
    ++b.binsize;
    RebuildIndex();
  }

  void DestroyLocked() {
    for (Bin& b : bins) {
      std::free(b.names);
      b = Bin();
    }
    for (char* block : text_blocks_) std::free(block);
    text_blocks_.clear();
    text_next_ = nullptr;
    text_left_ = 0;
    hint_slots.store(nullptr, std::memory_order_relaxed);
    index_.clear();
    index_.shrink_to_fit();
    used_ = 0;
    generation.fetch_add(1, std::memory_order_relaxed);
  }

 private:
  // Room for a name of `size` bytes. Names are packed in interning order into blocks, so
  // names that a file interns together lie together (and are found again together).
  char* StoreText(size_t size) {
    if (size > kTextBlock / 4) {
      char* own = static_cast<char*>(std::malloc(size));
      if (own == nullptr) std::exit(1);
      text_blocks_.push_back(own);
      return own;
    }
    if (size > text_left_) {
      text_next_ = static_cast<char*>(std::malloc(kTextBlock));
      if (text_next_ == nullptr) std::exit(1);
      text_blocks_.push_back(text_next_);
      text_left_ = kTextBlock;
    }
    char* text = text_next_;
    text_next_ += size;
    text_left_ -= size;
    return text;
  }

  void IndexInsert(const IndexSlot& slot) {
    if ((used_ + 1) * 2 > index_.size()) Grow();
    size_t mask = index_.size() - 1;
    size_t i = slot.hash & mask;
    while (index_[i].atom != 0) i = (i + 1) & mask;
    index_[i] = slot;
    ++used_;
  }

  void Grow() {
    std::vector<IndexSlot> old;
    old.swap(index_);
    index_.assign(old.empty() ? 1024 : old.size() * 2, IndexSlot{0, 0, nullptr, 0, {}});
    used_ = 0;
    hint_mask.store(index_.size() - 1, std::memory_order_relaxed);
    hint_slots.store(index_.data(), std::memory_order_relaxed);
    for (const IndexSlot& slot : old) {
      if (slot.atom != 0) IndexInsert(slot);
    }
  }

  void RebuildIndex() {
    hint_slots.store(nullptr, std::memory_order_relaxed);
    index_.clear();
    used_ = 0;
    for (int bin = 0; bin < kBins; ++bin) {
      for (int i = 0; i < bins[bin].binsize; ++i) {
        const char* text = bins[bin].names[i];
        if (text == nullptr) continue;
        uint32_t hash;
        int ignored;
        size_t length = std::strlen(text);
        HashName(text, static_cast<int>(length), &hash, &ignored);
        IndexInsert(MakeSlot(hash, MakeResAtom(bin, i), text, length));
      }
    }
  }

  std::vector<IndexSlot> index_;
  size_t used_ = 0;
  std::vector<char*> text_blocks_;
  char* text_next_ = nullptr;
  size_t text_left_ = 0;
};

AtomTable& Table() {
  static AtomTable* table = new AtomTable();  // never destroyed: Destroy empties it
  return *table;
}

// Splits `path` under the table lock, handing each component's atom and binding to `sink`.
template <typename Sink>
int SplitPath(const char* path, bool upper, Sink sink) {
  if (path == nullptr) return 0;
  AtomTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  const char* start = path;
  char binding = 0;
  if (*start == '.' || *start == '*') binding = *start++;
  int count = 0;
  while (*start != '\0' && count < kMaxPathComponents) {
    const char* end = start;
    while (*end != '\0' && *end != '.' && *end != '*') ++end;
    sink(table.InternLocked(start, static_cast<int>(end - start), upper), binding);
    ++count;
    if (*end == '\0') break;
    binding = *end;
    start = end + 1;
  }
  return count;
}

}  // namespace

// Empties the table when the process ends.
static Atom atom_table_owner;

Atom::~Atom() {
  Destroy();
}

unsigned int Atom::Atomize(const char* name, int length) {
  if (name == nullptr) return 0;
  length = BoundedLength(name, length);
  AtomTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  return table.InternLocked(name, length, false);
}

unsigned int Atom::Atomize(const char* name) {
  return name ? Atomize(name, -1) : 0;
}

unsigned int Atom::AtomizeUpper(const char* name, int length) {
  if (name == nullptr) return 0;
  length = BoundedLength(name, length);
  AtomTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  return table.InternLocked(name, length, true);
}

const char* Atom::DeAtomize(unsigned int atom) {
  if (atom == 0) return nullptr;
  AtomTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  return table.TextLocked(atom);
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
  uint32_t hash;
  int bin;
  HashName(name, BoundedLength(name, length), &hash, &bin);
  return bin;
}

void Atom::ResizeBin(int bin) {
  AtomTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  table.ResizeBinLocked(bin & 0xff);
}

int Atom::AddBin(int bin) {
  AtomTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  return table.AddBinLocked(bin & 0xff);
}

void Atom::ShiftBin(int bin, int index) {
  AtomTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  table.ShiftBinLocked(bin & 0xff, index);
}

void Atom::ToUpperInPlace(unsigned int atom) {
  AtomTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  char* text = const_cast<char*>(table.TextLocked(atom));
  if (text == nullptr) return;
  for (; *text != '\0'; ++text) *text = static_cast<char>(Fold(static_cast<unsigned char>(*text)));
}

void Atom::Prefetch(const char* name, int length) {
  if (name == nullptr) return;
  uint32_t hash;
  int bin;
  HashName(name, BoundedLength(name, length), &hash, &bin);
  Table().Prefetch(hash);
}

unsigned int Atom::Generation() {
  return Table().generation.load(std::memory_order_relaxed);
}

}  // namespace nycl
