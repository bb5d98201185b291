// How the integration tests talk to their stand-in for the system's password
// component (PASSWORD.CPL): a registry key under the current user that the test
// writes its answer into and the component records its calls in.
#pragma once

namespace glimmerweave::integration {

// Key under HKEY_CURRENT_USER; the test creates it and deletes it afterwards.
inline constexpr const char* kPasswordComponentKey = "Software\\Glimmerweave Password Test";
// REG_DWORD the component answers with: 0 = wrong password, anything else = right.
inline constexpr const char* kAnswerValue = "Answer";
// REG_DWORD the component counts its calls in.
inline constexpr const char* kCallsValue = "Calls";
// REG_QWORD: the owner window handle of the latest call.
inline constexpr const char* kOwnerValue = "Owner";

}  // namespace glimmerweave::integration
