// The exception of the QuickTime reading layer: a code saying what failed.
// Thrown by value, caught by reference. Code kSoundDescriptionVersion2 is the
// one exception thrown as a bare EExceptionType value, not inside an object.
#pragma once

#include <windows.h>

class CMyQTException {
public:
    enum EExceptionType : LONG {
        kMoovNotFound = 2,               // no 'moov' at the top level of the file
        kMdatNotFound = 3,               // no 'mdat' at the top level of the file
        kFileOpenFailed = 4,             // the file cannot be opened
        kFileReadFailed = 5,             // a read fails
        kFileSizeFailed = 7,             // the file size cannot be obtained
        kFileCloseFailed = 8,            // closing the file fails
        kNoDataReferences = 9,           // the media has no 'dref'
        kNoSampleDescriptions = 10,      // the media has no 'stsd'
        kNoTimeToSample = 11,            // the media has no 'stts'
        kNoSampleToChunk = 13,           // the media has no 'stsc'
        kNoChunkOffsets = 14,            // the media has no 'stco'
        kNoSampleSizes = 15,             // the media has no 'stsz'
        kBadTimeScale = 16,              // the media time scale is below 1
        kBadDuration = 17,               // the media duration is negative
        kBadSampleDescriptionCount = 18, // the 'stsd' entry count is negative
        kBadSampleCount = 19,            // the 'stsz' sample count is negative
        kSampleBeyondLastChunk = 20,     // a sample number lies beyond the last chunk
        kTimeBeyondDuration = 21,        // a media time at or past the media duration
        kChunkOffsetError = 22,          // a sample's bytes end beyond the last media byte
        kUnsupportedDescription = 23,    // media type without descriptions, or sound version outside 0..2
        kBadArgument = 24,               // an argument out of range
        kSoundDescriptionVersion2 = 26,  // a version-2 sound description where only 0 and 1 are served
        kMissingAtom = 27,               // a track without 'mdia', a media without 'mdhd' or 'hdlr'
        kOutsideAtom = 28,               // a read beyond an atom's end or a table's entry count
        kBadTableEntry = 29,             // a table entry that cannot be used (zero duration, chunks out of order)
    };

    explicit CMyQTException(EExceptionType type, const char *message = nullptr) : m_type(type), m_message(message) {}

    EExceptionType GetType() const { return m_type; }
    // Null in this system; printers show an empty text instead.
    const char *GetMessage() const { return m_message; }

private:
    EExceptionType m_type;
    const char *m_message;
};
