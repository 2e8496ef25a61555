#include "Site.h"

#include "ContinuousRecording.h"
#include "SiteGenerator.h"

#include "zarn/Value.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <set>
#include <sstream>
#include <unordered_map>

namespace ardix::sim {

using Json = nlohmann::ordered_json;
using namespace ardix::zarn;

namespace {

struct SiteError
{
    std::string text;
};

[[noreturn]] void fail(const std::string &text)
{
    throw SiteError{text};
}

std::int64_t intField(const Json &obj, const char *key, std::int64_t fallback, bool required,
                      const std::string &where)
{
    auto it = obj.find(key);
    if (it == obj.end()) {
        if (required)
            fail(where + ": \"" + key + "\" is missing");
        return fallback;
    }
    if (!it->is_number_integer())
        fail(where + ": \"" + key + "\" must be an integer");
    return it->get<std::int64_t>();
}

std::string stringField(const Json &obj, const char *key, const std::string &where)
{
    auto it = obj.find(key);
    if (it == obj.end())
        return std::string();
    if (!it->is_string())
        fail(where + ": \"" + key + "\" must be a string");
    return it->get<std::string>();
}

// Plain JSON values map to the obvious kinds; {"kind": K, "v": ...} gives any kind; any other
// object or array becomes the text of its JSON (how layout documents are written).
Value valueFromSite(const Json &j, const std::string &where)
{
    if (j.is_boolean())
        return BoolValue(j.get<bool>());
    if (j.is_number_integer())
        return IntValue(j.get<std::int64_t>());
    if (j.is_number_float())
        return FloatValue(j.get<double>());
    if (j.is_string())
        return StringValue(j.get<std::string>());
    if (j.is_null())
        return Value();
    if (j.is_object() && j.contains("kind") && j.size() <= 2 &&
        (j.size() == 1 || j.contains("v"))) {
        const auto &kind = j["kind"];
        if (!kind.is_number_integer())
            fail(where + ": \"kind\" must be an integer");
        const int k = kind.get<int>();
        Value::Payload payload;
        if (j.contains("v")) {
            const auto &v = j["v"];
            if (v.is_boolean())
                payload = v.get<bool>();
            else if (v.is_number_integer())
                payload = v.get<std::int64_t>();
            else if (v.is_number())
                payload = v.get<double>();
            else if (v.is_string() && k == static_cast<int>(ValueKind::Data))
                payload = Value::Bytes(v.get<std::string>().begin(), v.get<std::string>().end());
            else if (v.is_string())
                payload = v.get<std::string>();
        }
        Value value = Value::fromPayload(k, payload);
        if (value.kind() != k)
            fail(where + ": value does not fit kind " + std::to_string(k));
        return value;
    }
    return StringValue(j.dump());
}

NameValueMap mapFromSite(const Json &obj, const char *key, const std::string &where)
{
    NameValueMap map;
    auto it = obj.find(key);
    if (it == obj.end())
        return map;
    if (!it->is_object())
        fail(where + ": \"" + key + "\" must be an object");
    for (const auto &[name, value] : it->items())
        map.setValue(name, valueFromSite(value, where + "." + key + "." + name));
    return map;
}

// A receipt written as an array of lines becomes one text of those lines joined by "\n".
std::string joinLines(const Json &lines)
{
    std::string text;
    bool first = true;
    for (const auto &line : lines) {
        if (!first)
            text += '\n';
        text += line.get<std::string>();
        first = false;
    }
    return text;
}

RecordingProfile profileField(const Json &obj, const std::string &where)
{
    auto it = obj.find("profile");
    if (it == obj.end())
        return RecordingProfile::Small;
    if (*it == "main")
        return RecordingProfile::Main;
    if (*it != "small")
        fail(where + ": \"profile\" must be \"small\" or \"main\"");
    return RecordingProfile::Small;
}

// Positions among `count` generated chunks, 0 the oldest. One past the end is refused, as a
// typo would otherwise leave the recording whole without a word.
std::set<std::int64_t> positionsField(const Json &obj, const char *key, std::size_t count,
                                      const std::string &where)
{
    std::set<std::int64_t> positions;
    auto it = obj.find(key);
    if (it == obj.end())
        return positions;
    const std::string what = where + ": \"" + key + "\"";
    if (!it->is_array())
        fail(what + " must be an array of chunk positions");
    for (const auto &p : *it) {
        if (!p.is_number_integer() || p.get<std::int64_t>() < 0)
            fail(what + " must hold integers from 0 (0 is the oldest chunk)");
        const std::int64_t position = p.get<std::int64_t>();
        if (static_cast<std::uint64_t>(position) >= count)
            fail(what + ": position " + std::to_string(position) + " is past the last of the " +
                 std::to_string(count) + " chunks");
        positions.insert(position);
    }
    return positions;
}

void generatedRecording(const Json &rec, SiteObject &so, std::int64_t now, const std::string &where)
{
    if (!rec.is_object())
        fail(where + ": \"recording\" must be an object");
    const std::string at = where + ".recording";
    const RecordingProfile profile = profileField(rec, at);
    const std::int64_t hours = intField(rec, "hours", 6, false, at);
    const std::int64_t minutes = intField(rec, "chunkMinutes", 10, false, at);
    // The main profile's files come out at about this rate, so listed sizes match them.
    const std::int64_t rate = intField(
        rec, "bytesPerSecond", profile == RecordingProfile::Main ? 125000 : 250000, false, at);
    if (hours < 0 || minutes <= 0 || rate < 0)
        fail(where + ": recording values must be positive");
    const std::int64_t step = minutes * 60000;
    const std::int64_t last = now / step * step;
    std::vector<std::int64_t> starts;
    for (std::int64_t start = last - hours * 3600000; start + step <= last; start += step)
        starts.push_back(start);
    const auto skip = positionsField(rec, "skip", starts.size(), at);
    const auto unavailable = positionsField(rec, "unavailable", starts.size(), at);
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const auto position = static_cast<std::int64_t>(i);
        if (skip.count(position))
            continue;
        const std::int64_t start = starts[i];
        so.chunks.push_back({0, so.data.id, start, start + step, rate * step / 1000});
        const ChunkMedia media{profile, unavailable.count(position) > 0};
        if (media.profile != RecordingProfile::Small || media.unavailable)
            so.chunkMedia[start] = media;
    }
    bool continues = true;
    if (auto c = rec.find("continues"); c != rec.end()) {
        if (!c->is_boolean())
            fail(at + ": \"continues\" must be true or false");
        continues = c->get<bool>();
    }
    if (continues)
        so.recorder =
            std::make_shared<ContinuousRecording>(so.data.id, last, step, rate, profile, now);
}

void listedChunks(const Json &list, SiteObject &so, const std::string &where)
{
    if (!list.is_array())
        fail(where + ": \"chunks\" must be an array");
    const std::string at = where + ".chunks";
    for (const auto &c : list) {
        StreamChunk chunk{0, so.data.id, intField(c, "start", 0, true, at),
                          intField(c, "end", 0, true, at), intField(c, "size", 0, false, at)};
        if (chunk.end < chunk.start)
            fail(where + ": a chunk ends before it starts");
        ChunkMedia media{profileField(c, at), false};
        if (auto u = c.find("unavailable"); u != c.end()) {
            if (!u->is_boolean())
                fail(at + ": \"unavailable\" must be true or false");
            media.unavailable = u->get<bool>();
        }
        if (c.contains("heldSeconds"))
            media.heldMs = intField(c, "heldSeconds", 0, true, at) * 1000;
        if (media.heldMs < 0 || (c.contains("heldSeconds") && media.heldMs == 0))
            fail(at + ": \"heldSeconds\" must be a positive number of seconds");
        if (media.profile != RecordingProfile::Small || media.unavailable || media.heldMs > 0)
            so.chunkMedia[chunk.start] = media;
        so.chunks.push_back(chunk);
    }
}

void recordingFromSite(const Json &o, SiteObject &so, std::int64_t now, const std::string &where)
{
    if (auto rec = o.find("recording"); rec != o.end())
        generatedRecording(*rec, so, now, where);
    if (auto list = o.find("chunks"); list != o.end())
        listedChunks(*list, so, where);
    std::sort(so.chunks.begin(), so.chunks.end(),
              [](const auto &a, const auto &b) { return a.start < b.start; });
}

constexpr std::int64_t kDayMs = 24 * 3600000LL;

std::optional<PosGenerator> generatorFromSite(const Json &pos, const std::string &streamName,
                                              const std::string &where)
{
    auto g = pos.find("generator");
    if (g == pos.end())
        return std::nullopt;
    if (!g->is_object())
        fail(where + ": \"generator\" must be an object");
    PosGenerator generator;
    generator.seed =
        static_cast<std::uint64_t>(intField(*g, "seed", 1, false, where + ".generator"));
    generator.till = stringField(*g, "till", where + ".generator");
    if (generator.till.empty())
        generator.till = streamName.empty() ? std::string("Till") : streamName;
    return generator;
}

// The stream's past begins historyDays before now, else with its first recorded chunk, else
// now (no past).
std::int64_t historyFrom(const Json &pos, const std::vector<StreamChunk> &chunks, std::int64_t now,
                         const std::string &where)
{
    auto g = pos.find("generator");
    if (g != pos.end() && g->contains("historyDays")) {
        const std::int64_t days = intField(*g, "historyDays", 0, true, where + ".generator");
        if (days < 0 || days > 7)
            fail(where + ": \"pos.generator.historyDays\" must be from 0 to 7");
        return now - days * kDayMs;
    }
    return chunks.empty() ? now : std::min(now, chunks.front().start);
}

std::optional<PosScript> posFromSite(const Json &o, const SiteObject &so, std::int64_t now,
                                     const std::string &where)
{
    auto pos = o.find("pos");
    if (pos == o.end())
        return std::nullopt;
    if (so.data.type != static_cast<int>(ObjectType::Stream))
        fail(where + ": only streams have a \"pos\" script");
    if (!pos->is_object())
        fail(where + ": \"pos\" must be an object");
    PosScript script;
    const std::int64_t interval = intField(*pos, "intervalMs", 3000, false, where + ".pos");
    if (interval < 10 || interval > 3600000)
        fail(where + ": \"pos.intervalMs\" must be from 10 to 3600000");
    script.intervalMs = static_cast<int>(interval);
    script.generator = generatorFromSite(*pos, so.data.name, where + ".pos");
    script.historyFromMs = historyFrom(*pos, so.chunks, now, where + ".pos");
    auto texts = pos->find("texts");
    if (texts == pos->end() && script.generator)
        return script;
    if (texts == pos->end() || !texts->is_array() || texts->empty())
        fail(where + ": \"pos.texts\" must be a non-empty array");
    for (const auto &t : *texts) {
        if (t.is_string())
            script.texts.push_back(t.get<std::string>());
        else if (t.is_array() &&
                 std::all_of(t.begin(), t.end(), [](const Json &line) { return line.is_string(); }))
            script.texts.push_back(joinLines(t));
        else
            fail(where + ": every entry of \"pos.texts\" must be a string or an array of strings");
    }
    return script;
}

SiteObject objectFromSite(const Json &o, std::int64_t now, std::size_t index)
{
    std::string where = "objects[" + std::to_string(index) + "]";
    if (!o.is_object())
        fail(where + " must be an object");
    SiteObject so;
    auto &d = so.data;
    d.id = intField(o, "id", 0, true, where);
    where += " (id " + std::to_string(d.id) + ")";
    if (d.id == 0)
        fail(where + ": id 0 is reserved for \"no object\"");
    d.name = stringField(o, "name", where);
    d.type = static_cast<int>(intField(o, "type", 0, true, where));
    d.className = stringField(o, "class", where);
    d.parent = intField(o, "parent", 0, false, where);
    d.serialNumber = stringField(o, "serial", where);
    d.settings = mapFromSite(o, "settings", where);
    so.attributes = mapFromSite(o, "attributes", where);
    if (auto v = o.find("value"); v != o.end())
        so.value = ValuePtr(valueFromSite(*v, where + ".value"));
    else if (d.type == static_cast<int>(ObjectType::Sensor) ||
             d.type == static_cast<int>(ObjectType::Actuator))
        so.value = ValuePtr(BoolValue(false));
    if (auto c = o.find("children"); c != o.end()) {
        if (!c->is_array())
            fail(where + ": \"children\" must be an array");
        for (const auto &id : *c) {
            if (!id.is_number_integer())
                fail(where + ": children must be integer ids");
            d.children.push_back(id.get<std::int64_t>());
        }
    }
    recordingFromSite(o, so, now, where);
    so.pos = posFromSite(o, so, now, where);
    if (auto c = o.find("crossings"); c != o.end()) {
        if (!c->is_boolean())
            fail(where + ": \"crossings\" must be true or false");
        so.crossings = c->get<bool>();
    }
    so.httpPort = static_cast<int>(intField(o, "httpPort", so.httpPort, false, where));
    if (so.httpPort < 0 || so.httpPort > 65535)
        fail(where + ": \"httpPort\" must lie between 0 and 65535");
    so.posDataCap = static_cast<int>(intField(o, "posDataCap", so.posDataCap, false, where));
    if (so.posDataCap < 1 || so.posDataCap > 20000)
        fail(where + ": \"posDataCap\" must lie between 1 and 20000");
    so.rtspPort = static_cast<int>(intField(o, "rtspPort", so.rtspPort, false, where));
    if (so.rtspPort < 0 || so.rtspPort > 65535)
        fail(where + ": \"rtspPort\" must lie between 0 and 65535");
    if (auto rtsp = o.find("rtsp"); rtsp != o.end()) {
        if (!rtsp->is_boolean())
            fail(where + ": \"rtsp\" must be true or false");
        so.rtsp = rtsp->get<bool>();
    }
    so.rtspUser = stringField(o, "rtspUser", where);
    so.rtspPassword = stringField(o, "rtspPassword", where);
    if (so.rtspUser.empty() != so.rtspPassword.empty())
        fail(where + ": \"rtspUser\" and \"rtspPassword\" go together");
    return so;
}

// Children follow the parents in list order unless an object lists its own.
void linkChildren(std::vector<SiteObject> &objects, const std::set<std::int64_t> &explicitLists)
{
    std::unordered_map<std::int64_t, std::size_t> index;
    for (std::size_t i = 0; i < objects.size(); ++i)
        index.emplace(objects[i].data.id, i);
    for (const auto &o : objects) {
        auto parent = index.find(o.data.parent);
        if (o.data.parent == 0 || parent == index.end() || explicitLists.count(o.data.parent) > 0)
            continue;
        objects[parent->second].data.children.push_back(o.data.id);
    }
}

int secondsField(const Json &entry, const char *key, std::int64_t from, std::int64_t fallback,
                 bool required, const std::string &where)
{
    const std::int64_t v = intField(entry, key, fallback, required, where);
    if (v < from || v > 86400)
        fail(where + ": \"" + key + "\" must be from " + std::to_string(from) + " to 86400");
    return static_cast<int>(v);
}

ScheduledEvent scheduledFromSite(const Json &entry, const std::set<std::int64_t> &ids,
                                 const std::string &where)
{
    if (!entry.is_object())
        fail(where + " must be an object");
    ScheduledEvent e;
    e.source = intField(entry, "source", 0, true, where);
    if (!ids.count(e.source))
        fail(where + ": \"source\" " + std::to_string(e.source) + " names no object");
    e.className = stringField(entry, "class", where);
    if (e.className.empty())
        fail(where + ": \"class\" must be a non-empty string");
    e.everySeconds = secondsField(entry, "everySeconds", 1, 0, true, where);
    e.firstAfterSeconds = secondsField(entry, "firstAfterSeconds", 0, e.everySeconds, false, where);
    Json fields = Json::object();
    fields["text"] = entry.contains("text") ? stringField(entry, "text", where) : e.className;
    if (auto extra = entry.find("fields"); extra != entry.end()) {
        if (!extra->is_object())
            fail(where + ": \"fields\" must be an object");
        if (extra->contains("text"))
            fail(where + ": \"fields\" must not hold \"text\"; the entry's \"text\" gives it");
        fields.update(*extra);
    }
    e.fields = fields.dump();
    return e;
}

std::vector<ScheduledEvent> scheduleFromSite(const Json &doc, const std::set<std::int64_t> &ids)
{
    std::vector<ScheduledEvent> schedule;
    auto events = doc.find("events");
    if (events == doc.end())
        return schedule;
    if (!events->is_array())
        fail("site: \"events\" must be an array");
    for (std::size_t i = 0; i < events->size(); ++i)
        schedule.push_back(
            scheduledFromSite((*events)[i], ids, "events[" + std::to_string(i) + "]"));
    return schedule;
}

std::set<std::int64_t> objectsFromSite(const Json &doc, std::int64_t now, Site &site)
{
    auto objects = doc.find("objects");
    if (objects == doc.end() || !objects->is_array() || objects->empty())
        fail("site: \"objects\" must be a non-empty array");
    std::set<std::int64_t> ids, explicitLists;
    for (std::size_t i = 0; i < objects->size(); ++i) {
        auto so = objectFromSite((*objects)[i], now, i);
        if (!ids.insert(so.data.id).second)
            fail("objects: id " + std::to_string(so.data.id) + " appears twice");
        if ((*objects)[i].contains("children"))
            explicitLists.insert(so.data.id);
        site.objects.push_back(std::move(so));
    }
    site.rootId = intField(doc, "rootId", site.objects.front().data.id, false, "site");
    if (!ids.count(site.rootId))
        fail("site: \"rootId\" " + std::to_string(site.rootId) + " names no object");
    linkChildren(site.objects, explicitLists);
    return ids;
}

int portField(const Json &obj, const char *key, int fallback, const std::string &where)
{
    const std::int64_t port = intField(obj, key, fallback, false, where);
    if (port < 1 || port > 65535)
        fail(where + ": \"" + key + "\" must lie between 1 and 65535");
    return static_cast<int>(port);
}

// The objects of a generated site (docs/site-file.md, "Generated sites").
std::set<std::int64_t> generatedFromSite(const Json &doc, Site &site)
{
    const Json &g = doc["generate"];
    if (!g.is_object())
        fail("site: \"generate\" must be an object");
    for (const char *key : {"objects", "rootId"}) {
        if (doc.contains(key))
            fail(std::string("site: \"generate\" makes the objects; \"") + key +
                 "\" must not be given beside it");
    }
    for (const auto &item : g.items()) {
        if (item.key() != "cameras" && item.key() != "address" && item.key() != "httpPort")
            fail("generate: unknown key \"" + item.key() + "\"");
    }
    SiteGeneration generation;
    auto cameras = g.find("cameras");
    if (cameras == g.end())
        fail("generate: \"cameras\" is missing");
    const bool small =
        cameras->is_number_integer() && !(cameras->is_number_unsigned() &&
                                          cameras->get<std::uint64_t>() > std::uint64_t(INT64_MAX));
    generation.cameras = small ? cameras->get<std::int64_t>() : 0;
    if (!small || !SiteGenerator::refusal(generation.cameras).empty())
        fail("generate: \"cameras\" must be a whole number from 1 to " +
             std::to_string(SiteGenerator::kMaxCameras) + ", not " + cameras->dump());
    if (g.contains("address"))
        generation.address = stringField(g, "address", "generate");
    generation.httpPort = portField(g, "httpPort", generation.httpPort, "generate");
    SiteGenerator::fill(generation, site);
    std::set<std::int64_t> ids;
    for (const auto &o : site.objects)
        ids.insert(ids.end(), o.data.id);
    return ids;
}

Site parseSite(const Json &doc, std::int64_t now)
{
    if (!doc.is_object())
        fail("the site document must be a JSON object");
    Site site;
    site.name = stringField(doc, "name", "site");
    site.doorDelayMs = static_cast<int>(intField(doc, "doorDelayMs", 1500, false, "site"));
    if (site.doorDelayMs < 0)
        fail("site: \"doorDelayMs\" must not be negative");
    const std::int64_t seed = intField(doc, "seed", 1, false, "site");
    if (seed < 0)
        fail("site: \"seed\" must not be negative");
    site.sceneSeed = static_cast<std::uint64_t>(seed);
    auto users = doc.find("users");
    if (users != doc.end()) {
        if (!users->is_array())
            fail("site: \"users\" must be an array");
        for (const auto &u : *users) {
            SiteUser user{intField(u, "id", 0, true, "users"), stringField(u, "name", "users"),
                          stringField(u, "password", "users")};
            if (user.id == 0 || user.name.empty())
                fail("users: every user needs a non-zero id and a name");
            site.users.push_back(user);
        }
    }
    const auto ids =
        doc.contains("generate") ? generatedFromSite(doc, site) : objectsFromSite(doc, now, site);
    site.events = scheduleFromSite(doc, ids);
    std::int64_t chunkId = 1;
    for (auto &o : site.objects) {
        for (auto &c : o.chunks)
            c.id = chunkId++;
    }
    return site;
}

} // namespace

std::int64_t nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::optional<Site> Site::fromJson(const std::string &text, std::int64_t now, std::string &error)
{
    Json doc = Json::parse(text, nullptr, false, true);
    if (doc.is_discarded()) {
        error = "the site file is not valid JSON";
        return std::nullopt;
    }
    try {
        return parseSite(doc, now);
    } catch (const SiteError &e) {
        error = e.text;
    } catch (const std::exception &e) {
        error = e.what();
    }
    return std::nullopt;
}

std::optional<Site> Site::fromFile(const std::string &path, std::int64_t now, std::string &error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    auto site = fromJson(text.str(), now, error);
    if (!site)
        error = path + ": " + error;
    return site;
}

Site Site::generated(std::size_t count)
{
    Site site;
    site.name = "generated";
    site.rootId = 1;
    site.users.push_back({500, "operator", "operator"});
    SiteObject root;
    root.data = {1, "Site", static_cast<int>(ObjectType::Location), "location.SITE", 0, {}, {}, ""};
    site.objects.push_back(root);
    std::int64_t device = 0;
    for (std::int64_t id = 2; site.objects.size() < count; ++id) {
        SiteObject o;
        auto &d = o.data;
        d.id = id;
        if ((id - 2) % 10 == 0) {
            device = id;
            d = {id,
                 "Device " + std::to_string(id),
                 static_cast<int>(ObjectType::Device),
                 "device.CAMERA",
                 1,
                 {},
                 {},
                 "SN-" + std::to_string(id)};
            d.settings.setValue("address", StringValue("127.0.0.1"));
            site.objects[0].data.children.push_back(id);
        } else {
            d = {id,
                 "Stream " + std::to_string(id),
                 static_cast<int>(ObjectType::Stream),
                 "stream.VIDEO",
                 device,
                 {},
                 {},
                 "ST-" + std::to_string(id)};
            d.settings.setValue("url", StringValue("http://127.0.0.1:9554/live/" +
                                                   std::to_string(id) + "[[?x{EQU}1]]"));
            // Ids are dense from 1, so an object's index is its id - 1.
            site.objects[static_cast<std::size_t>(device - 1)].data.children.push_back(id);
        }
        site.objects.push_back(std::move(o));
    }
    return site;
}

} // namespace ardix::sim
