#pragma once

#include <QString>

#include <array>

namespace environment {

inline constexpr int kMaxMachines = 5;
inline constexpr int kMaxSlots = 50;
inline constexpr int kMaxPictures = 200;
inline constexpr int kMaxServoNumber = 50;

// One selectable servo picture of a machine.
struct Picture {
    qint16 ServoNo = 0;
    qint16 Variant = 0;
    QString Path;
    QString Name;
};

// The per-machine editing state of the servo window. Indexes are 1-based as in the original
// tables (element 0 is unused): machines 1..5, slots 1..50, picture entries 1..200, tabs 1..5.
// A plain struct, so the closing run can take it as an argument.
struct EditingState {
    template <typename T, int N>
    using Table = std::array<T, N + 1>;

    Table<qint16, kMaxMachines> TabToMachine{};
    qint16 CurrentMachine = 0;
    Table<qint16, kMaxMachines> NumberOfServos{};
    // A count program.ini gave that does not fit a 16-bit number, as its text: written back
    // unchanged until the count is edited.
    Table<QString, kMaxMachines> StoredServoCount{};
    Table<Table<qint16, kMaxSlots>, kMaxMachines> Servo{};
    Table<Table<qint16, kMaxSlots>, kMaxMachines> ServoPicNo{};
    Table<Table<bool, kMaxSlots>, kMaxMachines> Diag2Servo{};
    Table<Table<bool, kMaxSlots>, kMaxMachines> ExtServo{};
    Table<qint16, kMaxMachines> PicTypeCount{};
    Table<qint16, kMaxMachines> PicCount{};
    Table<Table<Picture, kMaxPictures>, kMaxMachines> Pictures{};

    // Window fields the editing needs.
    QString QelConfigIniPath;
    QString Resolution;
    bool WithMachineType = false;
};

} // namespace environment
