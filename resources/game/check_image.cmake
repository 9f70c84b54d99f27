# A cartridge image the console can start: 2 KiB or 4 KiB, and a reset vector (its last
# four bytes but two, little-endian) that points at code of the image, not at its filler.
# cmake -DIMAGE=rainbow.bin -P check_image.cmake
file(SIZE "${IMAGE}" size)
if(NOT size EQUAL 2048 AND NOT size EQUAL 4096)
  message(FATAL_ERROR "${IMAGE}: ${size} bytes, not 2048 or 4096")
endif()
math(EXPR vectorAt "${size} - 4")
file(READ "${IMAGE}" vector OFFSET ${vectorAt} LIMIT 2 HEX)
string(SUBSTRING "${vector}" 0 2 low)
string(SUBSTRING "${vector}" 2 2 high)
math(EXPR reset "0x${high}${low}")
# The cartridge answers where address line 12 is set; the image is mirrored within that.
math(EXPR inCartridge "${reset} & 0x1000")
if(inCartridge EQUAL 0)
  message(FATAL_ERROR "reset vector ${reset} lies outside the cartridge")
endif()
math(EXPR offset "${reset} & (${size} - 1)")
file(READ "${IMAGE}" first OFFSET ${offset} LIMIT 1 HEX)
if(first STREQUAL "ff")
  message(FATAL_ERROR "reset vector ${reset} points at filler")
endif()
message(STATUS "${IMAGE}: ${size} bytes, starts at ${reset}")
