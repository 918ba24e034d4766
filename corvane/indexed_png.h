// Skins as 8-bit indexed PNG files (colour type 3, the palette as PLTE): every
// pixel keeps its palette index, so a reader gets the skin back exactly. Encoded
// with libspng, linked: glTF output never needs the image library.
#ifndef CORVANE_INDEXED_PNG_H
#define CORVANE_INDEXED_PNG_H

#include <cstdint>
#include <string>

#include "varnel/varnel.h"

// The picture's indices (its left half with `halve`) into `png`, with the 256
// `colours` (0xAARRGGBB, alpha ignored) as the palette. False with `failure` when
// the picture has no pixels or the encoder refuses.
bool EncodeIndexedPng(const VNLPICTURE_T& picture, const uint32_t* colours, bool halve, std::string& png,
                      std::string& failure);

#endif
