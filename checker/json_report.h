// The JSON the tool writes, through one library (nlohmann-json): the /json
// document and the DSC resource's lines. Plain ASCII (others as \uXXXX):
// PowerShell decodes it as OEM, remoting as ANSI, Ansible as UTF-8, and
// ASCII reads alike to all.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "registry_view.h"
#include "run_record.h"

using Json = nlohmann::ordered_json;  // members in the order they are set

// One line; a DEL escaped as well, like every other control character.
std::string JsonLine(const Json& value);

// `mode`: "check", "repair", "whatif", or null (a usage error that named none).
std::string JsonReport(const RunRecord& run, const Json& mode, RegistryView view);
