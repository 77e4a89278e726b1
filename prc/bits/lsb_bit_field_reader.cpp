#include "prc/bits/lsb_bit_field_reader.h"

#include <stdexcept>

void LsbBitFieldReader::throwTooWide()
{
    throw std::runtime_error("LsbBitFieldReader: more than 32 bits requested");
}

void LsbBitFieldReader::throwExhausted()
{
    throw std::runtime_error("LsbBitFieldReader: bit field exhausted");
}
