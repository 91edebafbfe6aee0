// The factory bank: a bank file in the chunk form ("CcnK"/"FBCh"), embedded in the module and loaded
// at start when no startup bank is chosen (LoadBankImage).
#pragma once

#include <cstddef>

const unsigned char* FactoryBankData();
size_t FactoryBankSize();
