#include "plugin/NoteNames.h"

#include "engine/HitRouter.h"

namespace tamborel::plugin {

namespace {

constexpr int channels = 16;

// Kit names come from users' files: anything XML treats specially is escaped.
std::string escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            // Control characters are not allowed in XML 1.0 at all.
            if (static_cast<unsigned char>(c) >= 0x20 || c == '\t')
                out += c;
        }
    }
    return out;
}

void eachChannel(std::string& out, std::string_view element, std::string_view attributes) {
    for (int channel = 1; channel <= channels; ++channel)
        out.append("      <")
            .append(element)
            .append(" Channel=\"" + std::to_string(channel) + "\" ")
            .append(attributes)
            .append("/>\n");
}

} // namespace

NoteNames noteNamesOf(const DrumKit& kit) {
    const engine::NoteMap map = engine::NoteMap::fromKit(kit);
    NoteNames names;
    for (int note = 0; note < 128; ++note) {
        const auto role = map.find(note);
        if (!role)
            continue;
        const DrumPad* pad = kit.findPad(*role);
        if (pad != nullptr && !pad->playedSamples().empty())
            names[static_cast<std::size_t>(note)] = displayName(*role);
    }
    return names;
}

std::string midnamDocument(std::string_view model, const NoteNames& notes,
                           const std::vector<ProgramName>& programs) {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE MIDINameDocument PUBLIC \"-//MIDI Manufacturers Association//DTD "
        "MIDINameDocument 1.0//EN\" \"http://www.midi.org/dtds/MIDINameDocument10.dtd\">\n"
        "<MIDINameDocument>\n"
        "  <Author>Tamborel</Author>\n"
        "  <MasterDeviceNames>\n"
        "    <Manufacturer>Tamborel</Manufacturer>\n";
    out += "    <Model>" + escaped(model) + "</Model>\n";
    out += "    <CustomDeviceMode Name=\"Default\">\n"
           "      <ChannelNameSetAssignments>\n";
    eachChannel(out, "ChannelNameSetAssign", "NameSet=\"Kit\"");
    out += "      </ChannelNameSetAssignments>\n"
           "    </CustomDeviceMode>\n"
           "    <ChannelNameSet Name=\"Kit\">\n"
           "      <AvailableForChannels>\n";
    eachChannel(out, "AvailableChannel", "Available=\"true\"");
    out += "      </AvailableForChannels>\n"
           "      <UsesNoteNameList Name=\"Drums\"/>\n";
    if (!programs.empty()) {
        out += "      <PatchBank Name=\"Kits\">\n"
               "        <PatchNameList>\n";
        for (const auto& [program, name] : programs) {
            const std::string number = std::to_string(program);
            out += "          <Patch Number=\"" + number + "\" Name=\"" + escaped(name) +
                   "\" ProgramChange=\"" + number + "\"/>\n";
        }
        out += "        </PatchNameList>\n"
               "      </PatchBank>\n";
    }
    out += "    </ChannelNameSet>\n"
           "    <NoteNameList Name=\"Drums\">\n";
    for (std::size_t note = 0; note < notes.size(); ++note)
        if (!notes[note].empty())
            out += "      <Note Number=\"" + std::to_string(note) + "\" Name=\"" +
                   escaped(notes[note]) + "\"/>\n";
    out += "    </NoteNameList>\n"
           "  </MasterDeviceNames>\n"
           "</MIDINameDocument>\n";
    return out;
}

} // namespace tamborel::plugin
