// Writes the LV2 bundle's description from the instrument itself: manifest.ttl, sarn.ttl (ports from
// the parameter table, version from resources/Version.h) and presets.ttl (the factory bank's programs).
// Usage: sarn-lv2-ttl <bundle folder> <module file name>
#include <cmath>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "plugin/lv2/Lv2Uris.h"
#include "resources/Version.h"
#include "shell/Sarn.h"

namespace {

const char* kPrefixes =
    "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
    "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix midi: <http://lv2plug.in/ns/ext/midi#> .\n"
    "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
    "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
    "@prefix time: <http://lv2plug.in/ns/ext/time#> .\n"
    "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
    "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
    "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n"
    "@prefix xsd: <http://www.w3.org/2001/XMLSchema#> .\n\n";

// A Turtle decimal that reads back as the same single-precision float (ports hold floats).
std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof(text), "%.9g", static_cast<double>(static_cast<float>(value)));
  std::string s = text;
  if (s.find_first_of(".e") == std::string::npos) s += ".0";
  return s;
}

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

// "Chorus 1 Speed (Fast)" -> "chorus_1_speed_fast": letters and digits, runs of anything else as one '_'.
std::string Symbol(const char* name) {
  std::string s;
  for (const char* p = name; *p; ++p) {
    const char c = *p;
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) s += c;
    else if (c >= 'A' && c <= 'Z') s += static_cast<char>(c - 'A' + 'a');
    else if (!s.empty() && s.back() != '_') s += '_';
  }
  while (!s.empty() && s.back() == '_') s.pop_back();
  if (s.empty() || (s[0] >= '0' && s[0] <= '9')) s = "p_" + s;
  return s;
}

// Known unit labels as LV2 units; any other label as a unit of its own.
std::string Unit(const char* label) {
  const std::string l = label;
  if (l.empty()) return "";
  const char* known[][2] = {{"dB", "units:db"}, {"Hz", "units:hz"}, {"ms", "units:ms"}, {"s", "units:s"},
                            {"%", "units:pc"}, {"cents", "units:cent"}, {"semitones", "units:semitone12TET"}};
  for (const auto& k : known) {
    if (l == k[0]) return std::string("units:unit ") + k[1];
  }
  return "units:unit [ a units:Unit ; rdfs:label " + Quoted(l) + " ; units:symbol " + Quoted(l) +
         " ; units:render " + Quoted("%f " + l) + " ]";
}

std::string PresetUri(int index) {
  char text[16];
  std::snprintf(text, sizeof(text), "%02d", index + 1);
  return std::string("<") + kLv2PresetPrefix + text + ">";
}

bool WriteFile(const std::string& path, const std::string& text) {
  FILE* file = std::fopen(path.c_str(), "w");
  if (!file) return false;
  const bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && ok;
}

std::string Manifest(const Sarn& sarn, const std::string& module) {
  const std::string plugin = std::string("<") + kLv2PluginUri + ">";
  std::string t = kPrefixes;
  t += plugin + "\n  a lv2:Plugin, lv2:InstrumentPlugin ;\n  lv2:binary <" + module +
       "> ;\n  rdfs:seeAlso <sarn.ttl> .\n\n";
  t += std::string("<") + kLv2UiUri + ">\n  a ui:X11UI ;\n  ui:binary <" + module + "> ;\n  rdfs:seeAlso <sarn.ttl> .\n";
  for (int i = 0; i < sarn.NPresets(); ++i) {
    t += "\n" + PresetUri(i) + "\n  a pset:Preset ;\n  lv2:appliesTo " + plugin +
         " ;\n  rdfs:label " + Quoted(sarn.GetPresetName(i)) + " ;\n  rdfs:seeAlso <presets.ttl> .\n";
  }
  return t;
}

std::string ControlPort(const IPlugParam& param, int index, const std::string& symbol) {
  std::string t = "  [\n    a lv2:InputPort, lv2:ControlPort ;\n";
  t += "    lv2:index " + std::to_string(kLv2PortFirstParameter + static_cast<uint32_t>(index)) + " ;\n";
  t += "    lv2:symbol " + Quoted(symbol) + " ;\n    lv2:name " + Quoted(param.Name()) + " ;\n";
  t += "    lv2:default " + Number(param.Default()) + " ;\n    lv2:minimum " + Number(param.Min()) +
       " ;\n    lv2:maximum " + Number(param.Max()) + " ;\n";
  const std::string unit = Unit(param.Label());
  if (!unit.empty()) t += "    " + unit + " ;\n";
  if (param.Kind() == IPlugParam::kBoolean) {
    t += "    lv2:portProperty lv2:toggled ;\n";
  } else if (param.Kind() == IPlugParam::kInteger || param.Kind() == IPlugParam::kEnumerated) {
    t += "    lv2:portProperty lv2:integer";
    if (param.NDisplayTexts() > 0) t += ", lv2:enumeration";
    t += " ;\n";
  }
  for (int i = 0; i < param.NDisplayTexts(); ++i) {
    const IPlugParam::DisplayText* entry = param.DisplayTextAt(i);
    t += "    lv2:scalePoint [ rdfs:label " + Quoted(entry->text) + " ; rdf:value " + Number(entry->value) + " ] ;\n";
  }
  t.resize(t.size() - 2);  // the last " ;"
  return t + "\n  ]";
}

std::string Description(Sarn& sarn, const std::vector<std::string>& symbols) {
  std::string t = kPrefixes;
  t += std::string("<") + kLv2PluginUri + ">\n  a lv2:Plugin, lv2:InstrumentPlugin, doap:Project ;\n";
  t += "  doap:name " + Quoted(sarn.GetEffectName()) + " ;\n";
  t += "  doap:maintainer [ foaf:name " + Quoted(sarn.GetVendorName()) + " ; foaf:homepage <" + kMakerWebAddress +
       "> ] ;\n";
  t += "  lv2:minorVersion " + std::to_string(kVersionMinor) + " ;\n";
  t += "  lv2:microVersion " + std::to_string(kVersionFix) + " ;\n";
  t += "  lv2:requiredFeature urid:map ;\n  lv2:optionalFeature opts:options ;\n";
  t += "  lv2:extensionData state:interface ;\n";
  t += std::string("  ui:ui <") + kLv2UiUri + "> ;\n";
  t += "  lv2:port\n";
  t += "  [\n    a lv2:InputPort, atom:AtomPort ;\n    atom:bufferType atom:Sequence ;\n"
       "    atom:supports midi:MidiEvent, time:Position ;\n    lv2:designation lv2:control ;\n"
       "    lv2:index " + std::to_string(kLv2PortEvents) + " ;\n    lv2:symbol \"events\" ;\n    lv2:name \"Events\"\n  ] ,\n";
  const char* sides[2][2] = {{"out_left", "Output 1"}, {"out_right", "Output 2"}};
  for (int c = 0; c < 2; ++c) {
    t += "  [\n    a lv2:OutputPort, lv2:AudioPort ;\n    lv2:index " + std::to_string(kLv2PortLeft + static_cast<uint32_t>(c)) +
         " ;\n    lv2:symbol " + Quoted(sides[c][0]) + " ;\n    lv2:name " + Quoted(sides[c][1]) + "\n  ] ,\n";
  }
  for (int i = 0; i < sarn.NParams(); ++i) {
    t += ControlPort(*sarn.GetParam(i), i, symbols[static_cast<size_t>(i)]);
    t += i + 1 < sarn.NParams() ? " ,\n" : " .\n";
  }
  t += std::string("\n<") + kLv2UiUri + ">\n  a ui:X11UI ;\n"
       "  lv2:requiredFeature ui:parent, ui:idleInterface, <http://lv2plug.in/ns/ext/instance-access> ;\n"
       "  lv2:optionalFeature ui:touch, ui:resize ;\n  lv2:extensionData ui:idleInterface .\n";
  // The state's properties.
  t += std::string("\n<") + kLv2StateBank + ">\n  a rdf:Property ;\n  rdfs:label \"bank\" ;\n"
       "  rdfs:comment \"Every program with its name, as the VST2 module's bank chunk.\" .\n";
  t += std::string("\n<") + kLv2StateProgram + ">\n  a rdf:Property ;\n  rdfs:label \"program\" ;\n"
       "  rdfs:comment \"The number of the current program, from 0.\" .\n";
  return t;
}

std::string Presets(Sarn& sarn, const std::vector<std::string>& symbols) {
  std::string t = kPrefixes;
  for (int i = 0; i < sarn.NPresets(); ++i) {
    std::vector<double> values;
    const Preset* preset = sarn.GetPreset(i);
    if (!preset || sarn.ReadProgramState(preset->state, 0, values) < 0) return "";
    t += PresetUri(i) + "\n  a pset:Preset ;\n  lv2:appliesTo <" + kLv2PluginUri + "> ;\n";
    t += "  rdfs:label " + Quoted(sarn.GetPresetName(i)) + " ;\n";
    // The program's number: applying the preset makes it the current program.
    t += std::string("  state:state [ <") + kLv2StateProgram + "> \"" + std::to_string(i) + "\"^^xsd:int ] ;\n";
    t += "  lv2:port\n";
    for (size_t p = 0; p < values.size(); ++p) {
      t += "    [ lv2:symbol " + Quoted(symbols[p]) + " ; pset:value " + Number(values[p]) + " ]";
      t += p + 1 < values.size() ? " ,\n" : " .\n\n";
    }
  }
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: sarn-lv2-ttl <bundle folder> <module file name>\n");
    return 2;
  }
  const std::string folder = argv[1];
  Sarn sarn(nullptr);
  // The factory programs, whatever startup bank the settings name.
  if (!sarn.LoadFactoryBank()) {
    std::fprintf(stderr, "sarn-lv2-ttl: the factory bank does not load\n");
    return 1;
  }
  std::vector<std::string> symbols;
  std::set<std::string> seen;
  for (int i = 0; i < sarn.NParams(); ++i) {
    symbols.push_back(Symbol(sarn.GetParam(i)->Name()));
    if (!seen.insert(symbols.back()).second) {
      std::fprintf(stderr, "sarn-lv2-ttl: two parameters make the port symbol %s\n", symbols.back().c_str());
      return 1;
    }
  }
  const std::string presets = Presets(sarn, symbols);
  if (presets.empty()) {
    std::fprintf(stderr, "sarn-lv2-ttl: a factory program does not read\n");
    return 1;
  }
  if (!WriteFile(folder + "/manifest.ttl", Manifest(sarn, argv[2])) ||
      !WriteFile(folder + "/sarn.ttl", Description(sarn, symbols)) || !WriteFile(folder + "/presets.ttl", presets)) {
    std::fprintf(stderr, "sarn-lv2-ttl: cannot write into %s\n", folder.c_str());
    return 1;
  }
  return 0;
}
