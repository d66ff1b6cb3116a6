#pragma once
// The state the show's handlers share. Plain globals that live for the whole process.
#include <cstdint>

// Result of the opening question: 6 (Yes) selects the Yes path, anything else the No path.
extern std::int32_t AnswerCode;
// Which bar is running: 0 the address book phase, 1 the last phase of either path.
extern std::int32_t PhaseCount;
// Toggled by the hidden gesture; while true a close request asks instead of refusing.
extern bool CloseUnlocked;
// True from the start of a finale; the close guard then lets every close through.
extern bool SequenceDone;
