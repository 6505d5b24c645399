// CMediaType: an AM_MEDIA_TYPE that owns its format block (task memory) and
// its pUnk reference, with the helpers to build, compare and match types.
#pragma once

#include <windows.h>

#include <mmreg.h>
#include <strmif.h>

#include "combase.h"

class CMediaType : public _AMMediaType {
public:
    ~CMediaType();
    // The empty type: all GUIDs null, fixed-size samples of 1 byte, no format.
    CMediaType();
    CMediaType(const GUID *majortype);
    CMediaType(const AM_MEDIA_TYPE &, HRESULT *phr = NULL);
    CMediaType(const CMediaType &, HRESULT *phr = NULL);

    CMediaType &operator=(const CMediaType &);
    CMediaType &operator=(const AM_MEDIA_TYPE &);

    // Equal major type, subtype, format type and format block.
    BOOL operator==(const CMediaType &) const;
    BOOL operator!=(const CMediaType &) const;

    // A deep copy of rt; E_OUTOFMEMORY when the format block cannot be copied.
    HRESULT Set(const CMediaType &rt);
    HRESULT Set(const AM_MEDIA_TYPE &rt);

    BOOL IsValid() const;

    const GUID *Type() const { return &majortype; }
    void SetType(const GUID *);
    const GUID *Subtype() const { return &subtype; }
    void SetSubtype(const GUID *);

    BOOL IsFixedSize() const { return bFixedSizeSamples; }
    BOOL IsTemporalCompressed() const { return bTemporalCompression; }
    // The sample size, 0 for variable-size samples.
    ULONG GetSampleSize() const;

    void SetSampleSize(ULONG sz);
    void SetVariableSize();
    void SetTemporalCompression(BOOL bCompressed);

    BYTE *Format() const { return pbFormat; }
    ULONG FormatLength() const { return cbFormat; }

    void SetFormatType(const GUID *);
    const GUID *FormatType() const { return &formattype; }
    // Copies length bytes into a new format block; FALSE when out of memory.
    BOOL SetFormat(BYTE *pFormat, ULONG length);
    void ResetFormatBuffer();
    // A format block of length bytes (contents undefined), or NULL. A block
    // of the same length is kept; length 0 frees the block.
    BYTE *AllocFormatBuffer(ULONG length);
    // As AllocFormatBuffer, keeping the contents up to the shorter length.
    BYTE *ReallocFormatBuffer(ULONG length);

    void InitMediaType();

    // True when every field ppartial specifies (is not GUID_NULL) matches;
    // a specified format type requires an identical format block.
    BOOL MatchesPartial(const CMediaType *ppartial) const;
    // True when the major type or the format type is GUID_NULL.
    BOOL IsPartiallySpecified() const;
};

// Task-memory media types, as IEnumMediaTypes and IMediaSample hand them out.
void WINAPI DeleteMediaType(AM_MEDIA_TYPE *pmt);
AM_MEDIA_TYPE *WINAPI CreateMediaType(AM_MEDIA_TYPE const *pSrc);
// A deep copy; a source whose format length is set without a block is
// refused with E_INVALIDARG (the target then has no format).
HRESULT WINAPI CopyMediaType(AM_MEDIA_TYPE *pmtTarget, const AM_MEDIA_TYPE *pmtSource);
// Frees the format block and the pUnk reference; the structure stays.
void WINAPI FreeMediaType(AM_MEDIA_TYPE &mt);
HRESULT WINAPI CreateAudioMediaType(const WAVEFORMATEX *pwfx, AM_MEDIA_TYPE *pmt, BOOL bSetFormat);
