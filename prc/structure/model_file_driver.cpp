#include "prc/structure/model_file_driver.h"

#include <cstring>

// Interim: the PRC readers are not in place yet, so every file is reported as not
// decodable. Replaced by the real driver.
bool decodeModelFile(const uint8_t* data, uint32_t size, PrcModelResult& result)
{
    std::memset(&result, 0, sizeof result);
    if (data == nullptr || size == 0)
        return false;
    result.status = kPrcStatusUndecodable;
    return false;
}
