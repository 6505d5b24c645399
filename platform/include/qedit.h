// The sample grabber and the null renderer of the SDK: class identifiers and
// the grabber's interfaces, with the SDK's method order.
#pragma once

#include "strmif.h"

DEFINE_GUID(CLSID_SampleGrabber, 0xc1f400a0, 0x3f08, 0x11d3, 0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37);
DEFINE_GUID(CLSID_NullRenderer, 0xc1f400a4, 0x3f08, 0x11d3, 0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37);
DEFINE_GUID(IID_ISampleGrabberCB, 0x0579154a, 0x2b53, 0x4994, 0xb0, 0xd0, 0xe7, 0x73, 0x14, 0x8e, 0xff, 0x85);
DEFINE_GUID(IID_ISampleGrabber, 0x6b652fff, 0x11fe, 0x4fce, 0x92, 0xad, 0x02, 0x66, 0xb5, 0xd7, 0xc7, 0x8f);

// Called on the streaming thread for every sample the grabber receives:
// SampleCB with the sample itself (its times, IMediaSample2 properties and
// bytes), or BufferCB with a pointer to its bytes. SampleTime is the
// sample's start time in seconds (0 without a time).
struct ISampleGrabberCB : public IUnknown {
    STDMETHOD(SampleCB)(double SampleTime, IMediaSample *pSample) PURE;
    STDMETHOD(BufferCB)(double SampleTime, BYTE *pBuffer, LONG BufferLen) PURE;
};

struct ISampleGrabber : public IUnknown {
    // After one sample, end the stream (EC_COMPLETE) and refuse the rest.
    STDMETHOD(SetOneShot)(BOOL OneShot) PURE;
    // The type the input accepts; GUID_NULL fields accept anything.
    STDMETHOD(SetMediaType)(const AM_MEDIA_TYPE *pType) PURE;
    STDMETHOD(GetConnectedMediaType)(AM_MEDIA_TYPE *pType) PURE;
    // Keep a copy of the last sample's bytes for GetCurrentBuffer.
    STDMETHOD(SetBufferSamples)(BOOL BufferThem) PURE;
    STDMETHOD(GetCurrentBuffer)(LONG *pBufferSize, LONG *pBuffer) PURE;
    STDMETHOD(GetCurrentSample)(IMediaSample **ppSample) PURE;
    // WhichMethodToCallback: 0 SampleCB, 1 BufferCB.
    STDMETHOD(SetCallback)(ISampleGrabberCB *pCallback, LONG WhichMethodToCallback) PURE;
};
