#include "tools/osm/osmbaseline.h"

#include <osmium/handler.hpp>
#include <osmium/io/any_input.hpp>
#include <osmium/visitor.hpp>

namespace osm2nav {
namespace {

struct CountingHandler : osmium::handler::Handler {
    std::uint64_t objects = 0;
    void osm_object(const osmium::OSMObject&) { ++objects; }
};

} // namespace

std::optional<std::uint64_t> CountObjects(const std::filesystem::path& extract) {
    try {
        osmium::io::Reader reader(extract.string());
        CountingHandler counter;
        osmium::apply(reader, counter);
        reader.close();
        return counter.objects;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace osm2nav
