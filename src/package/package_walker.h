// The one walk over the layout of a package, shared by the reader
// (TGFileInfo), the extraction (UnPack) and pkgtool inspect, so that all
// three accept and refuse the same files.
//
// A volume is read as: the package end (StoredPackEnd of a PE image when
// above 0, else the file's end), the trailer before it (its start is the
// package end minus the size word stored in its last u32), then from
// DataStart the text blocks (first volume only) and the file records. The
// bounds every reader applies:
//   - DataStart must lie at or before the trailer start;
//   - text blocks: BlockCount of them (0 reads as 2; the first three are
//     kept, further ones skipped); a length beyond the file is clamped to
//     it (and the kept text to kMaxTextBlockSize); a block reaching into the
//     trailer leaves the blocks not intact;
//   - records are read while more than 74 bytes remain before the package
//     end and the position is before the trailer; a record whose length
//     field or body would reach into the trailer is damage.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "package/pack_file.h"
#include "package/package_reader.h"

// Records are read while more than this many bytes remain before the
// package end.
inline constexpr int64_t kRecordsEndMargin = 74;
// Record bodies are read in pieces of this size: as large as the inflater's
// output piece, so that most reads come back as whole output pieces.
inline constexpr std::size_t kRecordChunk = 256 * 1024;
// An entry without a NUL in its first this many bytes has no header.
inline constexpr std::size_t kMaxEntryHeader = 65536;

// File name of volume `number` (from 1) of a package whose first volume is
// `firstVolume`: the first volume itself, else the base ("firstVolume"
// without a trailing ".001", any case) + "." + three digits.
std::string VolumeFileName(const std::string& firstVolume, int number);

// The text blocks of a first volume.
struct TPackTextBlocks {
    std::string Language, Agent, Web;
    // Position after the last block: where the file records start.
    int64_t End = 0;
    // DataStart and every block lie before the trailer.
    bool Intact = false;
};

// One file record as found: its length field and where its body lies.
struct TPackRecord {
    int64_t Offset = 0;  // of the length field
    int32_t Length = 0;  // as stored: > 0 zlib stream, < 0 stored, 0 empty
    bool Compressed() const { return Length > 0; }
    uint64_t BodySize() const
    {
        return Length < 0 ? static_cast<uint64_t>(-static_cast<int64_t>(Length))
                          : static_cast<uint64_t>(Length);
    }
    int64_t BodyStart() const { return Offset + 4; }
};

class TPackVolume {
public:
    enum TStep {
        kRecord,
        kEnd,
        kDamaged
    };

    // Opens a volume and reads its package end and trailer; false when the
    // file cannot be opened (the volume is then empty).
    bool Open(const std::string& fileName);
    bool IsOpen() const { return file_.IsOpen(); }

    int64_t FileSize() const { return file_.Size(); }
    int64_t PackageEnd() const { return packageEnd_; }
    // Where the trailer starts: the file records end here.
    int64_t TrailerStart() const { return trailerStart_; }
    // The trailer as ReadTrailer gives it (DataStart as stored).
    const TPackTrailer& Trailer() const { return trailer_; }
    // Every trailer byte could be read.
    bool TrailerComplete() const { return trailerComplete_; }
    bool HasPackage() const { return trailer_.PackMagic == kPackMagic; }

    // The text blocks from DataStart (a first volume's).
    TPackTextBlocks ReadTextBlocks();

    // Starts the record walk at `position`; false (damage) when it lies
    // outside the volume's records area.
    bool StartRecords(int64_t position);
    // The next record: kRecord with the file positioned at its body (read it
    // with ReadBody, or not: the next call goes on after it either way),
    // kEnd when the records are done, kDamaged when the length field or the
    // body would reach into the trailer (`record` then holds what was read;
    // Problem() tells). After kEnd or kDamaged the walk is over.
    TStep NextRecord(TPackRecord& record);
    // Reads the body of the record just returned in pieces of at most
    // kRecordChunk bytes, handing each to `consume` and calling `pump` after
    // it; stops at a read that comes back short. Returns the bytes read.
    uint64_t ReadBody(const TPackRecord& record,
                      const std::function<void(const char* data, std::size_t count)>& consume,
                      const std::function<void()>& pump = {});
    // Position after the last record walked.
    int64_t Position() const { return next_; }
    // What the last kDamaged was about.
    const std::string& Problem() const { return problem_; }

private:
    TPackFile file_;
    TPackTrailer trailer_;
    bool trailerComplete_ = false;
    int64_t packageEnd_ = 0;
    int64_t trailerStart_ = 0;
    int64_t next_ = 0;
    bool walking_ = false;
    std::string problem_;
};

// Position of the package end of an open file: StoredPackEnd of a PE image
// when above 0, else the end of the file. Leaves the file position anywhere.
int64_t PackageEndOf(TPackFile& file);

// Splits an entry fed in pieces into its header (the bytes before the first
// NUL) and its data, holding at most the header.
class TPackEntryReader {
public:
    using THeader = std::function<void(const std::string& header)>;
    using TData = std::function<void(const char* data, std::size_t count)>;

    // `onHeader` runs once, at the NUL; `onData` gets the bytes after it.
    TPackEntryReader(THeader onHeader, TData onData)
        : onHeader_(std::move(onHeader)), onData_(std::move(onData))
    {}
    void Feed(const char* data, std::size_t count);
    // A NUL was seen within kMaxEntryHeader bytes.
    bool HasHeader() const { return state_ == sData; }
    const std::string& Header() const { return header_; }
    uint64_t DataSize() const { return dataSize_; }

private:
    enum {
        sHeader,
        sData,
        sNoHeader
    } state_ = sHeader;
    THeader onHeader_;
    TData onData_;
    std::string header_;
    uint64_t dataSize_ = 0;
};

// How reading one record's entry went.
struct TEntryReadResult {
    enum TStatus {
        kComplete,   // every body byte read and, compressed, the stream ended
        kShortBody,  // the file ended inside the body
        kBadStream,  // zlib refused the stream (Message has its text)
        kStreamCut,  // the body ended before the stream did
        kOverLimit   // more than the limit was inflated; the rest was left
    } Status = kComplete;
    std::string Message;
    uint64_t BodyRead = 0;
};

// Reads the entry of the record just returned by NextRecord: the body as it
// is (stored) or inflated (compressed), handed to `output` in pieces. Stops
// once more than `limit` entry bytes came out.
TEntryReadResult ReadRecordEntry(TPackVolume& volume, const TPackRecord& record,
                                 const std::function<void(const char* data, std::size_t count)>& output,
                                 const std::function<void()>& pump = {}, uint64_t limit = UINT64_MAX);

// The parts of an entry header "|name|stamp|".
struct TPackEntryHeader {
    std::string NameItem;   // item 0, "*" and arguments included
    std::string FileName;   // the name item before its first "*"
    std::string StampText;  // item 1 as stored
    uint32_t Stamp = 0;     // DOS date-time; 0 when none or not a number
    // What the entry makes the program to run: the name item when it holds
    // "*", else the whole header when that holds "*", else "".
    std::string MainEntry;
};
TPackEntryHeader ParseEntryHeader(const std::string& header);
