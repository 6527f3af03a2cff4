// Fixed-width names and the calling convention shared by platform-free and Win32 code.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#define QXL_WINAPI __stdcall
#else
#define QXL_WINAPI
#endif

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "records are read in place as little-endian");

using u8 = std::uint8_t;
using u16 = std::uint16_t;
using u32 = std::uint32_t;
using u64 = std::uint64_t;
using i16 = std::int16_t;
using i32 = std::int32_t;

// Win32 BOOL, HANDLE and HWND as the platform-free code sees them.
using WinBool = int;
using Handle = void*;
using WindowHandle = void*;
