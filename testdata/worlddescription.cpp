#include "testdata/worlddescription.h"

#include <charconv>
#include <sstream>
#include <vector>

namespace testdata {

namespace {

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line.substr(0, line.find('#')));
    std::vector<std::string> words;
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return words;
}

template <class T> bool ToNumber(std::string_view text, T& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size();
}

bool ReadRoad(const std::vector<std::string>& words, GridSketch::Road& road) {
    if (words.size() < 3) {
        return false;
    }
    road.name = words[1];
    road.nodes = words[2];
    for (std::size_t i = 3; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "oneway") {
            road.direction = GridSketch::Direction::OneWay;
            continue;
        }
        const std::size_t equals = word.find('=');
        unsigned value = 0;
        if (equals == std::string::npos ||
            !ToNumber(std::string_view(word).substr(equals + 1), value)) {
            return false;
        }
        const std::string key = word.substr(0, equals);
        if (key == "class" && value < 32) {
            road.roadClass = static_cast<std::uint8_t>(value);
        } else if (key == "extended" && value < 2) {
            road.extendedBit = value == 1;
        } else if (key == "code" && value < 8) {
            road.extendedCode = static_cast<std::uint8_t>(value);
        } else if (key == "level" && value < 3) {
            road.level = static_cast<std::uint8_t>(value);
        } else if (key == "type" && value < 65536) {
            road.typeCode = static_cast<std::uint16_t>(value);
        } else {
            return false;
        }
    }
    return true;
}

bool ReadSetting(const std::vector<std::string>& words, WorldDescription& world) {
    const std::string& key = words[0];
    RoadNetworkOptions& o = world.options;
    if (key == "stem" && words.size() == 2) {
        o.stem = words[1];
        return true;
    }
    std::vector<unsigned> numbers;
    std::vector<std::int32_t> coordinates;
    for (std::size_t i = 1; i < words.size(); ++i) {
        std::int32_t value = 0;
        if (!ToNumber(words[i], value)) {
            return false;
        }
        coordinates.push_back(value);
        numbers.push_back(static_cast<unsigned>(value));
    }
    if (key == "origin" && coordinates.size() == 2) {
        world.sketch.origin = {coordinates[0], coordinates[1]};
    } else if (key == "spacing" && numbers.size() == 1 && coordinates[0] > 0) {
        world.sketch.spacing = coordinates[0];
    } else if (key == "maps" && numbers.size() == 1 && numbers[0] >= 1 && numbers[0] <= 3) {
        o.maps = numbers[0];
    } else if (key == "pagesize" && numbers.size() == 1) {
        o.pageSize = numbers[0];
    } else if (key == "separated" && numbers.size() == 3) {
        o.separated = {numbers[0] != 0, numbers[1] != 0, numbers[2] != 0};
    } else if (key == "archived" && numbers.size() == 1) {
        o.isArchived = numbers[0] != 0;
    } else if (key == "additional" && numbers.size() == 1) {
        o.hasAdditionalAttributes = numbers[0] != 0;
    } else {
        return false;
    }
    return true;
}

} // namespace

std::variant<WorldDescription, std::size_t> ParseWorldDescription(std::string_view text) {
    WorldDescription world;
    std::istringstream in{std::string(text)};
    bool isInGrid = false;
    std::size_t number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::vector<std::string> words = Words(line);
        if (isInGrid) {
            if (words.size() == 1 && words[0] == "end") {
                isInGrid = false;
            } else {
                world.sketch.rows.push_back(line);
            }
            continue;
        }
        if (words.empty()) {
            continue;
        }
        if (words[0] == "grid" && words.size() == 1) {
            isInGrid = true;
        } else if (words[0] == "road") {
            GridSketch::Road road;
            if (!ReadRoad(words, road)) {
                return number;
            }
            world.sketch.roads.push_back(road);
        } else if (!ReadSetting(words, world)) {
            return number;
        }
    }
    if (isInGrid) {
        return number;
    }
    return world;
}

} // namespace testdata
