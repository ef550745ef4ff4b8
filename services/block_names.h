// Device blocks named as the operator knows them from the pages, page and
// group ("Kreis 1 Temperatur", "Relais 2"), in the language of the interface:
// for reports of blocks that may not have reached the device.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace services {

std::string BlockName(uint16_t block_address);
// The names of the blocks, each once, in the order they first come, joined
// with ", " (the frames of one table are one name).
std::string BlockNames(const std::vector<uint16_t>& block_addresses);

}  // namespace services
