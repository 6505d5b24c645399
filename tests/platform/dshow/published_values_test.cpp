// The values Windows code and peers compare with: a wrong constant here looks
// right on both sides of our own platform and breaks only against the system.
#include <streams.h>

#include <gtest/gtest.h>

TEST(DShowPublishedValues, ResultCodesAndFlags)
{
    EXPECT_EQ(static_cast<HRESULT>(0x80040211), VFW_E_NOT_COMMITTED);
    EXPECT_EQ(static_cast<HRESULT>(0x80040227), VFW_E_WRONG_STATE);
    EXPECT_EQ(static_cast<HRESULT>(0x8004022A), VFW_E_TYPE_NOT_ACCEPTED);
    EXPECT_EQ(static_cast<HRESULT>(0x80040215), VFW_E_NO_INTERFACE);
    EXPECT_EQ(static_cast<HRESULT>(0x00040103), VFW_S_NO_MORE_ITEMS);
    EXPECT_EQ(0u, static_cast<DWORD>(AM_STREAM_MEDIA));
    EXPECT_EQ(1u, static_cast<DWORD>(AM_STREAM_CONTROL));
    EXPECT_EQ(3, AM_SEEKING_PositioningBitsMask);
    EXPECT_EQ(0x20, AM_SEEKING_NoFlush);
    EXPECT_EQ(0x600000, MERIT_NORMAL);
    EXPECT_EQ(0x111, WM_COMMAND);
    EXPECT_EQ(1, PROPPAGESTATUS_DIRTY);
}
