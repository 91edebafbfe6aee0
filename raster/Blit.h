// Copying and filling pixels with the two blending rules the editor uses.
#pragma once

#include "raster/Bitmap.h"

// Blend modes. Copy mixes by weight alone; with kBlitUseAlpha the source pixel's alpha weights it too
// (for fills: the colour's alpha scales the weight).
constexpr int kBlitCopy = 0;
constexpr int kBlitUseAlpha = 0x10000;

// Copies srcRect of src (all of it when srcRect is null) to (x, y) of dest, clipped to both bitmaps.
// Copy: weight 1 copies, 0.5 averages by halves, other weights mix d = s + (d - s) * (256 - w256) / 256.
// Source alpha a (w256 = weight * 256 truncated): a = 0 leaves the pixel; weight 1 and a = 255 writes
// the source; weight 1 otherwise c = s + (d - s) * (255 - a) / 256 and alpha min(255, d + a); weight < 1
// with h = w256 * (a + 1) / 256: c = s + (d - s) * (256 - h) / 256 and alpha min(255, d + h).
// A missing bitmap, an empty rectangle or a zero weight draws nothing.
void Blit(LICE_IBitmap* dest, const LICE_IBitmap* src, int x, int y, const LICE_Rect* srcRect, float weight,
          int mode);

// Fills the rectangle (clipped to dest) with colour. With kBlitUseAlpha the weight is multiplied by the
// colour's alpha / 255; a resulting weight of 0 draws nothing. Weight 1 writes the colour; 0.5, 0.25 and
// 0.75 mix by halving and quartering bytes; other weights blend per channel as Blit's copy does.
void FillBitmapRect(LICE_IBitmap* dest, int x, int y, int width, int height, LICE_pixel colour, float weight,
                    int mode);
