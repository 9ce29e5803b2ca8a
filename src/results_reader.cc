#include "results_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// White space within a line; the line feed is not among them, as it ends
// the line.
constexpr bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The characters that mayBeginNumber takes, looked up rather than
// compared: most lines of a large file reach it with a word.
struct Leads {
  bool of[256];
};

constexpr Leads findLeads() {
  Leads leads = {};
  for (int i = 0; i < 256; ++i)
    leads.of[i] = mayBeginNumber(static_cast<char>(i));
  return leads;
}

constexpr Leads kLeads = findLeads();

const char *find(const char *from, const char *end, char c) {
  return static_cast<const char *>(
      std::memchr(from, c, static_cast<std::size_t>(end - from)));
}

void storeNumber(ResultsScan &scan) {
  (*scan.results)[scan.outcome->values] = convert(scan.number);
  ++scan.outcome->values;
}

// The note being made, which addNote keeps. Commas are noted only on
// stored values and skipped tokens only while fewer than 14 are noted, so
// there is always room for it.
// cppcheck-suppress constParameter ; the note is returned to be written
ReadNote &noteBeingMade(ReadOutcome &outcome) {
  return outcome.notes[outcome.noteCount];
}

ReadNote &startNote(ResultsScan &scan) {
  ReadNote &note = noteBeingMade(*scan.outcome);
  note = ReadNote{};
  note.line = scan.line;
  return note;
}

void addNote(ResultsScan &scan) { ++scan.outcome->noteCount; }

// Keeps the token's bytes from `from` to `to` in the note being made, up
// to its limit.
void keepToken(ResultsScan &scan, const char *from, const char *to) {
  ReadNote &note = noteBeingMade(*scan.outcome);
  std::size_t room = kNoteTokenLimit - note.tokenLength;
  std::size_t size = static_cast<std::size_t>(to - from);
  if (size > room) {
    size = room;
    note.tokenCut = true;
  }
  std::memcpy(note.token + note.tokenLength, from, size);
  note.tokenLength += size;
}

// Starts a token that may begin with a number, and its note. Kept out of
// line, like scanNumber, for the sake of the line loop.
[[gnu::noinline]] void beginLead(ResultsScan &scan) {
  startNote(scan).skipped = true;
  scan.lead.place = LeadPlace::kStart;
  scan.place = LinePlace::kLead;
}

void noteSkipped(ResultsScan &scan) {
  addNote(scan);
  ++scan.skippedNotes;
}

}  // namespace

void scanResults(ResultsScan &scan, const char *bytes, std::size_t size) {
  for (std::size_t i = 0; scan.headLength < sizeof scan.head && i < size; ++i)
    scan.head[scan.headLength++] = static_cast<unsigned char>(bytes[i]);
  const char *p = bytes;
  const char *const end = bytes + size;
  ReadOutcome &outcome = *scan.outcome;
  while (p < end) {
    switch (scan.place) {
      case LinePlace::kStart:
      case LinePlace::kKey: {
        // The key runs to the line's first colon; most lines of a file carry
        // no value, so both searches use memchr rather than a byte loop.
        const char *newline = find(p, end, '\n');
        const char *colon = find(p, newline ? newline : end, ':');
        if (colon) {
          bool emptyKey = colon == p && scan.place == LinePlace::kStart;
          scan.place = emptyKey ? LinePlace::kRest : LinePlace::kAfterColon;
          p = colon + 1;
        } else if (newline) {
          scan.place = LinePlace::kStart;
          ++scan.line;
          p = newline + 1;
        } else {
          scan.place = LinePlace::kKey;
          p = end;
        }
        break;
      }
      case LinePlace::kAfterColon:
        while (isBlank(*p)) {
          if (++p == end) return;
        }
        if (*p == '\n') {
          scan.place = LinePlace::kStart;
          ++scan.line;
          ++p;
        } else if (isDigit(*p)) {
          if (outcome.values == 0) outcome.firstLine = scan.line;
          if (outcome.values < kStatCount) {
            outcome.lastLine = scan.line;
            beginNumber(scan.number, *p);
            scan.place = LinePlace::kNumber;
            ++p;
          } else {
            // Past the 14th value a line is only counted.
            if (++outcome.values == kStatCount + 1)
              outcome.fifteenthLine = scan.line;
            scan.place = LinePlace::kRest;
          }
        } else if (kLeads.of[static_cast<unsigned char>(*p)] &&
                   outcome.values < kStatCount &&
                   scan.skippedNotes < kStatCount) {
          beginLead(scan);
        } else {
          scan.place = LinePlace::kRest;
        }
        break;
      case LinePlace::kNumber:
        // What follows the number on its line, the rest of the token
        // included, is never read.
        p = scanNumber(scan.number, p, end);
        if (p == end) break;
        storeNumber(scan);
        scan.place = LinePlace::kRest;
        if (*p == ',' && endsWhole(scan.number)) {
          scan.place = LinePlace::kComma;
          ++p;
        }
        break;
      case LinePlace::kComma:
        // A digit after the comma: most likely a thousands separator or a
        // decimal comma, which the number does not take in.
        if (isDigit(*p)) {
          startNote(scan).position = outcome.values - 1;
          addNote(scan);
        }
        scan.place = LinePlace::kRest;
        break;
      case LinePlace::kLead: {
        const char *from = p;
        p = scanLead(scan.lead, scan.number, p, end);
        keepToken(scan, from, p);
        if (scan.lead.place == LeadPlace::kNumberRead) {
          scan.place = LinePlace::kNoteToken;
        } else if (scan.lead.place == LeadPlace::kNoNumber) {
          scan.place = LinePlace::kRest;
        }
        break;
      }
      case LinePlace::kNoteToken: {
        // The note needs the token up to its limit and whether it goes on
        // past it, not where it ends.
        const ReadNote &note = noteBeingMade(outcome);
        std::size_t left = kNoteTokenLimit - note.tokenLength + 1;
        const char *stop =
            p + std::min(left, static_cast<std::size_t>(end - p));
        const char *from = p;
        while (p < stop && *p != '\n' && !isBlank(*p)) ++p;
        keepToken(scan, from, p);
        if (p < end || note.tokenCut) {
          noteSkipped(scan);
          scan.place = LinePlace::kRest;
        }
        break;
      }
      case LinePlace::kRest: {
        const char *newline = find(p, end, '\n');
        if (newline) {
          scan.place = LinePlace::kStart;
          ++scan.line;
          p = newline + 1;
        } else {
          p = end;
        }
        break;
      }
    }
  }
}

void finishScan(ResultsScan &scan) {
  // The end of the file ends the last token as white space would.
  static constexpr char kTokenEnd[] = " ";
  if (scan.place == LinePlace::kNumber) storeNumber(scan);
  if (scan.place == LinePlace::kLead) {
    scanLead(scan.lead, scan.number, kTokenEnd, kTokenEnd + 1);
    if (scan.lead.place == LeadPlace::kNumberRead) noteSkipped(scan);
  }
  if (scan.place == LinePlace::kNoteToken) noteSkipped(scan);
  scan.place = LinePlace::kStart;

  const unsigned char *h = scan.head;
  if (scan.headLength == 0) {
    scan.outcome->kind = FileKind::kEmpty;
  } else if (scan.headLength == 2 && ((h[0] == 0xff && h[1] == 0xfe) ||
                                      (h[0] == 0xfe && h[1] == 0xff))) {
    scan.outcome->kind = FileKind::kUtf16;
  } else {
    scan.outcome->kind = FileKind::kText;
  }
}

ReadOutcome resval(std::FILE *stream, StatVector &results) {
  // Large reads straight into our own buffer: the stream's buffer would
  // only add a copy.
  (void)std::setvbuf(stream, nullptr, _IONBF, 0);
  ReadOutcome outcome = {};
  ResultsScan scan{&results, &outcome};
  char buffer[128 * 1024];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, stream)) > 0) {
    scanResults(scan, buffer, got);
  }
  // Taken before the last number's conversion, which may set errno.
  int error = 0;
  if (std::ferror(stream)) error = errno != 0 ? errno : EIO;
  finishScan(scan);
  outcome.error = error;
  // Everything has been read; closing a stream that was only read loses
  // nothing, whatever fclose says.
  (void)std::fclose(stream);
  return outcome;
}
