// DbfWatch: a reader of the six legacy DBF files that behaves like the legacy programs beside
// Fenwright: it opens a file, reads it whole and closes it, again and again, while the file is
// being rewritten in place. It judges every read on its own, without the system's DBF engine:
// header and field descriptors sane, the size equal to header length + records × record length,
// every record blank or well formed (numeric fields right-justified numbers with their decimals,
// date fields eight digits).
//
// A rewrite in place is one write of the whole image followed by a cut to the new length, so a
// concurrent read may legitimately see (a) the new image followed by a longer old tail, when it
// falls between the write and the cut, or (b) a mixture of old and new bytes, when it falls inside
// the write. (a) is recognised from the image itself. (b) is recognised by reading again: a torn
// image is replaced by a sound one within moments, whereas a file that is malformed at rest keeps
// its bytes until the next rewrite; and since the one write covers the old bytes before the cut, a
// torn image is never shorter than both the file before and the file after the rewrite (a writer
// that cuts the file first and writes it afterwards is caught by that). A malformed read is
// therefore explained only when a sound image follows within the settle time and the sizes agree;
// a file that stays malformed (or changes only into other malformed images) for that long is
// reported. The settle time must be shorter than the writer's interval, or a malformed image at
// rest could be replaced by the next good one and pass for a torn read. A well-formed read during
// which the file's size or modification time moved is counted as mid-rewrite as well: its records
// may come from two versions.
//
// Plain objects on one thread; the files are read through the C library with its default
// sharing, as the legacy readers open them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace fw::tools {

enum class DbfVerdict {
  kSound,       // a complete file, every record blank or well formed
  kLongerTail,  // sound up to its last record, followed by bytes of a longer old file
  kMalformed,   // anything else; the reason says what
};

struct DbfImageCheck {
  DbfVerdict verdict = DbfVerdict::kMalformed;
  std::string reason;    // empty unless malformed
  uint32_t records = 0;  // the header's record count (when the header could be read)
};

// Judges one image of a DBF file, as read.
DbfImageCheck CheckDbfImage(std::string_view bytes);

// Reads a whole file; false when it cannot be opened or read. *changed (when given) tells whether
// its size or modification time moved during the read: a rewrite ran meanwhile.
bool ReadWholeDbf(const std::string& path, std::string* bytes, bool* changed = nullptr);

struct DbfWatchCounts {
  uint64_t reads = 0;       // reads that opened the file
  uint64_t sound = 0;       // complete and well formed
  uint64_t longerTail = 0;  // between the write and the cut (mid-rewrite)
  uint64_t torn = 0;        // malformed inside the write, a sound file followed (mid-rewrite)
  uint64_t changed = 0;     // sound, but the file moved during the read (mid-rewrite)
  uint64_t malformed = 0;   // malformed with no rewrite to explain it
  uint64_t unopened =
      0;  // could not be opened, or empty before it was ever sound (not written yet)

  uint64_t MidRewrite() const { return longerTail + torn + changed; }
  DbfWatchCounts& operator+=(const DbfWatchCounts& other);
};

class DbfWatch {
 public:
  // Reads a whole file into *bytes, telling in *changed whether it moved meanwhile; false when it
  // cannot be opened or read.
  using Reader = std::function<bool(const std::string& path, std::string* bytes, bool* changed)>;

  // settleMs: how long a malformed image may take to turn into a sound one (see above). The files
  // are read with `reader` (tests script it; the program reads the files).
  DbfWatch(std::vector<std::string> paths, uint32_t settleMs, Reader reader = DiskReader());
  // The files as they are on disk (ReadWholeDbf).
  static Reader DiskReader();

  // Reads every file once, judging and counting each read.
  void Pass();

  size_t FileCount() const { return files_.size(); }
  const std::string& Path(size_t file) const { return files_[file].path; }
  const DbfWatchCounts& Counts(size_t file) const { return files_[file].counts; }
  DbfWatchCounts Total() const;
  // The reports of the unexplained malformed reads so far (file, size, reason), the first ones.
  const std::vector<std::string>& Problems() const { return problems_; }

 private:
  struct File {
    std::string path;
    DbfWatchCounts counts;
    size_t soundSize = 0;  // of the last read that was not malformed; 0 before the first
  };
  void ReadOnce(File& file);
  // Whether a sound image replaces `malformed` within the settle time.
  // Whether a sound image replaces `malformed` within the settle time; its size in *soundSize.
  bool SettlesToSound(const std::string& path, const std::string& malformed,
                      size_t* soundSize) const;

  std::vector<File> files_;
  uint32_t settleMs_;
  Reader reader_;
  std::vector<std::string> problems_;
  std::string image_;  // reused by every read
};

}  // namespace fw::tools
