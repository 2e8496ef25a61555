#include "SiteGenerator.h"

#include "zarn/Value.h"

#include <nlohmann/json.hpp>

#include <array>
#include <set>
#include <utility>
#include <vector>

namespace ardix::sim {

using Json = nlohmann::ordered_json;
using namespace ardix::zarn;

namespace {

// Our own generator, not <random>'s distributions, whose results differ between libraries.
class SplitMix
{
public:
    explicit SplitMix(std::uint64_t seed)
        : state_(seed)
    {}
    std::uint64_t next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }

private:
    std::uint64_t state_;
};

struct Place
{
    const char *city;
    const char *street;
};

constexpr std::array<Place, 48> kPlaces = {{
    {"Zürich", "Bahnhofstraße"},
    {"Málaga", "Calle Larios"},
    {"München", "Kaufingerstraße"},
    {"Köln", "Hohe Straße"},
    {"Genève", "Rue du Rhône"},
    {"Lyon", "Place Bellecour"},
    {"Sevilla", "Calle Sierpes"},
    {"Kraków", "Rynek Główny"},
    {"Łódź", "Piotrkowska"},
    {"Göteborg", "Kungsgatan"},
    {"Malmö", "Södergatan"},
    {"Århus", "Strøget"},
    {"Reykjavík", "Laugavegur"},
    {"Lisboa", "Avenida da Liberdade"},
    {"Porto", "Rua de Santa Catarina"},
    {"Besançon", "Grande Rue"},
    {"Nîmes", "Boulevard Victor Hugo"},
    {"Düsseldorf", "Königsallee"},
    {"Wien", "Mariahilfer Straße"},
    {"Graz", "Herrengasse"},
    {"Brno", "Náměstí Svobody"},
    {"Plzeň", "Náměstí Republiky"},
    {"Tromsø", "Storgata"},
    {"Montréal", "Rue Sainte-Catherine"},
    {"Québec", "Rue Saint-Jean"},
    {"São Paulo", "Avenida Paulista"},
    {"Dublin", "Grafton Street"},
    {"Leeds", "Briggate"},
    {"Bern", "Marktgasse"},
    {"Basel", "Freie Strasse"},
    {"Bilbao", "Gran Vía"},
    {"A Coruña", "Rúa Real"},
    {"Toulouse", "Place du Capitole"},
    {"Bordeaux", "Mériadeck"},
    {"Zürich", "Limmatquai"},
    {"Málaga", "Muelle Uno"},
    {"München", "Leopoldstraße"},
    {"Köln", "Schildergasse"},
    {"Córdoba", "Ronda de los Tejares"},
    {"Wien", "Kärntner Straße"},
    {"Göteborg", "Nordstan"},
    {"Lisboa", "Rua Augusta"},
    {"Sevilla", "Nervión"},
    {"Kraków", "Floriańska"},
    {"Genève", "Place du Molard"},
    {"Montréal", "Boulevard Saint-Laurent"},
    {"Basel", "Steinenvorstadt"},
    {"Düsseldorf", "Schadowstraße"},
}};

constexpr std::array<const char *, 30> kAreas = {
    "Entrance",      "Till",         "Checkout",        "Stockroom",   "Car park",
    "Loading dock",  "Escalator",    "Lift lobby",      "Food court",  "Café terrace",
    "Crêperie",      "Pâtisserie",   "Bäckerei",        "Fromagerie",  "Délicatessen",
    "Pharmacy",      "Electronics",  "Shoe department", "Toy aisle",   "Wine cellar",
    "Cash office",   "Back office",  "Staircase",       "Corridor",    "Fitting rooms",
    "Garden centre", "Straßenseite", "Plaza",           "Smörgåsbord", "Cafetería",
};

constexpr std::array<const char *, 10> kDoors = {
    "Front door",  "Staff entrance",   "Delivery gate", "Fire exit",        "Side door",
    "Office door", "Cash office door", "Tür zum Hof",   "Porte de service", "Puerta trasera",
};

constexpr std::array<const char *, 6> kWings = {"North wing",     "South wing", "East wing",
                                                "Parking garage", "Annex",      "Tower B"};

// The cameras' models, the first letters of their serials.
constexpr std::array<const char *, 5> kModels = {"DOM", "BUL", "PTZ", "FIS", "BOX"};

struct Camera
{
    std::int64_t id = 0;
    std::int64_t gateway = 0;
    std::string label;
};

struct Door
{
    std::int64_t controller = 0;
    std::int64_t sensor = 0;
    std::string name;
};

struct Plan
{
    std::string name;
    std::size_t firstCamera = 0, cameraCount = 0; // into the chain's cameras
    std::vector<Door> doors;
};

std::string padded(std::int64_t n, int width)
{
    std::string text = std::to_string(n);
    return std::string(text.size() < std::size_t(width) ? width - text.size() : 0, '0') + text;
}

std::string hex4(std::uint64_t n)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text(4, '0');
    for (int i = 3; i >= 0; --i, n >>= 4)
        text[std::size_t(i)] = digits[n & 15];
    return text;
}

// One cell of a layout document, in the keys' order of the demo's layouts.
Json cell(int row, int col, int span, const char *type, const std::string &label,
          std::int64_t device, std::int64_t object)
{
    return Json{{"row", row},
                {"col", col},
                {"rowSpan", span},
                {"colSpan", span},
                {"type", type},
                {"label", label},
                {"deviceId", std::to_string(device)},
                {"objectId", std::to_string(object)}};
}

class Builder
{
public:
    explicit Builder(const SiteGeneration &generation)
        : g_(generation)
    {}

    void build(Site &site)
    {
        site.rootId = 1;
        site.objects.clear();
        add(ObjectType::Location, "location.SITE", "Retail chain", 0, "");
        while (std::int64_t(cameras_.size()) < g_.cameras)
            addSite();
        objects_.front().attributes = layouts();
        site.objects = std::move(objects_);
    }

private:
    SiteObject &add(ObjectType type, const char *cls, const std::string &name, std::int64_t parent,
                    const std::string &serial)
    {
        SiteObject o;
        const auto id = std::int64_t(objects_.size()) + 1; // ids are dense from 1, in tree order
        o.data = {id, name, static_cast<int>(type), cls, parent, {}, {}, serial};
        if (parent != 0)
            objects_[std::size_t(parent - 1)].data.children.push_back(id);
        objects_.push_back(std::move(o));
        return objects_.back();
    }

    void addSite()
    {
        const std::size_t index = plans_.size();
        const std::size_t gateways = 1 + rng_.below(6);
        const Place &place = kPlaces[index % kPlaces.size()];
        const char *kind = gateways == 1   ? (index % 3 == 0 ? "Café" : "Shop")
                           : gateways <= 3 ? "Store"
                                           : "Mall";
        Plan plan;
        plan.name = std::string(kind) + " " + place.city + " " + place.street;
        if (index >= kPlaces.size())
            plan.name += " " + std::to_string(index / kPlaces.size() + 1);
        plan.firstCamera = cameras_.size();
        const auto site = add(ObjectType::Location, "location.SITE", plan.name, 1, "").data.id;
        const std::size_t buildings = (gateways + 1) / 2;
        std::vector<std::int64_t> buildingIds;
        for (std::size_t b = 0; b < buildings; ++b)
            buildingIds.push_back(add(ObjectType::Location, "location.BUILDING",
                                      buildings == 1 ? "Main building" : kWings[b], site, "")
                                      .data.id);
        std::array<int, kAreas.size()> areaCounts{};
        const std::string shortName = std::string(place.city) + " " + place.street;
        std::size_t made = 0;
        for (; made < gateways && std::int64_t(cameras_.size()) < g_.cameras; ++made)
            addGateway(buildingIds[made % buildings], made + 1, areaCounts, shortName);
        plan.cameraCount = cameras_.size() - plan.firstCamera;
        addDoors(plan, buildingIds.front(), made + 1);
        plans_.push_back(std::move(plan));
    }

    void addGateway(std::int64_t building, std::size_t number,
                    std::array<int, kAreas.size()> &areaCounts, const std::string &shortName)
    {
        ++gatewayCount_;
        auto &gw = add(ObjectType::Device, "device.GATEWAY", "Gateway " + std::to_string(number),
                       building, "GW-" + padded(gatewayCount_, 6));
        gw.data.settings.setValue("address", StringValue(g_.address));
        gw.httpPort = g_.httpPort;
        // One RTSP service mounting every stream of a large site takes minutes to start.
        gw.rtsp = false;
        const auto gateway = gw.data.id;
        for (int s = 0;
             s < SiteGenerator::kStreamsPerGateway && std::int64_t(cameras_.size()) < g_.cameras;
             ++s) {
            const std::size_t area = rng_.below(kAreas.size());
            const std::string name =
                std::string(kAreas[area]) + " " + std::to_string(++areaCounts[area]);
            const std::string serial = std::string(kModels[rng_.below(kModels.size())]) + "-" +
                                       hex4(rng_.next()) + "-" +
                                       padded(std::int64_t(cameras_.size()) + 1, 6);
            auto &cam = add(ObjectType::Stream, "stream.VIDEO", name, gateway, serial);
            streamSettings(cam);
            cameras_.push_back({cam.data.id, gateway, name + " · " + shortName});
        }
    }

    void streamSettings(SiteObject &cam) const
    {
        const std::string base = "http://" + g_.address + ":" + std::to_string(g_.httpPort) +
                                 "/live/" + std::to_string(cam.data.id);
        const std::string main = base + "[[?profile{EQU}main]]";
        Json profiles = Json::array();
        profiles.push_back({{"name", "main"}, {"width", 640}, {"height", 360}, {"url", main}});
        profiles.push_back({{"name", "sub"},
                            {"width", 320},
                            {"height", 180},
                            {"url", base + "[[?profile{EQU}sub]]"}});
        cam.data.settings.setValue("url", StringValue(main));
        cam.data.settings.setValue("codec", StringValue("h264"));
        cam.data.settings.setValue("profiles", StringValue(profiles.dump()));
    }

    // A controller in the site's first building with `count` doors, each a sensor and its
    // lock paired by their "layout" setting, the sensor naming a camera of the site that sees it.
    void addDoors(Plan &plan, std::int64_t building, std::size_t count)
    {
        const auto controller = add(ObjectType::Device, "device.DOORCONTROLLER", "Door controller",
                                    building, "DC-" + padded(std::int64_t(plans_.size()) + 1, 6))
                                    .data.id;
        for (std::size_t d = 0; d < count; ++d) {
            const std::string name = kDoors[d % kDoors.size()];
            const std::string pairing = "door-" + std::to_string(objects_.size() + 1);
            const auto &camera = cameras_[plan.firstCamera + (d * 7) % plan.cameraCount];
            auto &sensor = add(ObjectType::Sensor, "sensor.DOOR", name, controller,
                               "DS-" + std::to_string(objects_.size() + 1));
            sensor.data.settings.setValue("layout", StringValue(pairing));
            sensor.data.settings.setValue("camera", StringValue(std::to_string(camera.id)));
            sensor.value = ValuePtr(BoolValue(true));
            const auto sensorId = sensor.data.id;
            auto &lock = add(ObjectType::Actuator, "actuator.DOOR", name + " lock", controller,
                             "DL-" + std::to_string(objects_.size() + 1));
            lock.data.settings.setValue("layout", StringValue(pairing));
            lock.value = ValuePtr(BoolValue(true));
            plan.doors.push_back({controller, sensorId, name});
        }
    }

    NameValueMap layouts() const
    {
        NameValueMap map;
        std::set<std::string> names;
        for (int i = 0; i < SiteGenerator::kLayouts; ++i) {
            auto [name, doc] = layout(i);
            std::string unique = name;
            for (int n = 2; !names.insert(unique).second; ++n)
                unique = name + " (" + std::to_string(n) + ")";
            map.setValue(unique, StringValue(doc.dump()));
        }
        return map;
    }

    // Layout i: its size from a round of sizes, the first one small (the console opens on it),
    // and its cells by one of four kinds: a site's overview with its doors, a wall across the
    // chain, a site's doors beside the cameras that see them, a site's featured camera.
    std::pair<std::string, Json> layout(int i) const
    {
        static const std::array<std::pair<int, int>, 16> sizes = {{{2, 2},
                                                                   {3, 3},
                                                                   {1, 1},
                                                                   {4, 4},
                                                                   {2, 3},
                                                                   {3, 4},
                                                                   {5, 5},
                                                                   {6, 6},
                                                                   {8, 8},
                                                                   {10, 10},
                                                                   {4, 6},
                                                                   {7, 7},
                                                                   {1, 2},
                                                                   {3, 5},
                                                                   {9, 9},
                                                                   {6, 8}}};
        const auto [rows, cols] = sizes[std::size_t(i) % sizes.size()];
        const Plan &plan = plans_[std::size_t(i) * 13 % plans_.size()];
        const std::string size = std::to_string(rows) + "x" + std::to_string(cols);
        const int kind = i % 4;
        const bool featured = kind == 3 && rows >= 3 && cols >= 3;
        std::string name = kind == 0   ? plan.name + " – overview " + size
                           : kind == 1 ? "Wall " + size + " #" + std::to_string(i / 4 + 1)
                           : kind == 2 ? plan.name + " – doors " + size
                                       : plan.name + " – featured " + size;
        Json elements = Json::array();
        std::vector<bool> taken(std::size_t(rows * cols), false);
        int n = 0;
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < cols; ++c) {
                if (taken[std::size_t(r * cols + c)])
                    continue;
                const int span = featured && n == 0 ? 2 : 1;
                for (int dr = 0; dr < span; ++dr)
                    for (int dc = 0; dc < span; ++dc)
                        taken[std::size_t((r + dr) * cols + c + dc)] = true;
                elements.push_back(content(i, kind, plan, n++, r, c, span, rows * cols));
            }
        }
        return {name, Json{{"numRows", rows}, {"numCols", cols}, {"elements", elements}}};
    }

    Json content(int i, int kind, const Plan &plan, int n, int r, int c, int span, int cells) const
    {
        const std::size_t doors = plan.doors.size();
        if (kind == 0 && n >= cells - std::min<int>(int(doors), cells / 5)) {
            const Door &door = plan.doors[std::size_t(cells - 1 - n) % doors];
            return cell(r, c, span, "door", door.name, door.controller, door.sensor);
        }
        if (kind == 2 && n % 2 == 1) {
            const Door &door = plan.doors[std::size_t(n / 2) % doors];
            return cell(r, c, span, "door", door.name, door.controller, door.sensor);
        }
        if (kind == 3 && n == 1 && cells > 2) {
            const Door &door = plan.doors.front();
            return cell(r, c, span, "alarm", door.name + " events", door.controller, door.sensor);
        }
        // A wall runs along the chain's cameras from a place of its own; the rest stay in the site.
        const std::size_t index = kind == 1
                                      ? (std::size_t(i) * 97 + std::size_t(n)) % cameras_.size()
                                      : plan.firstCamera + std::size_t(n) % plan.cameraCount;
        const Camera &cam = cameras_[index];
        return cell(r, c, span, "video", cam.label, cam.gateway, cam.id);
    }

    const SiteGeneration &g_;
    SplitMix rng_{20261209};
    std::vector<SiteObject> objects_;
    std::vector<Camera> cameras_;
    std::vector<Plan> plans_;
    std::int64_t gatewayCount_ = 0;
};

} // namespace

std::string SiteGenerator::refusal(std::int64_t cameras)
{
    if (cameras < 1 || cameras > kMaxCameras)
        return "the number of cameras must be a whole number from 1 to " +
               std::to_string(kMaxCameras) + ", not " + std::to_string(cameras);
    return std::string();
}

void SiteGenerator::fill(const SiteGeneration &generation, Site &site)
{
    Builder(generation).build(site);
    site.generation = generation;
    if (site.users.empty())
        site.users.push_back({500, "operator", "operator"});
}

Site SiteGenerator::generate(const SiteGeneration &generation)
{
    Site site;
    site.name = std::to_string(generation.cameras) + " generated cameras";
    fill(generation, site);
    return site;
}

} // namespace ardix::sim
