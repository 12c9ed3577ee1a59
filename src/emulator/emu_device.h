#pragma once
// The device behind the virtual serial line: its parameter table, its answers to request
// lines and the small physical simulation that makes the live values move. Not thread-safe;
// TDeviceEmulator serialises every access.

#include <QByteArray>
#include <QHash>
#include <QList>

#include <array>
#include <vector>

namespace emu {

// What the device is: display, colour LED rows, logo slots, indicator positions, cells.
struct Model {
    int id = 0;
    int height = 32;    // display height in pixels (width is always 128)
    bool color = false; // colour display: row packing and two colour lines
    bool rgb = false;   // brightness rows carry an LED colour
    int numLogo = 0;
    int numIPar = 3;
    int numBatt = 2;
};
Model modelFor(int id);

struct Param {
    QByteArray name;
    bool text = false;     // one free text instead of an integer list
    bool writable = true;  // writable over the wire
    bool internal = false; // not on the wire; only the API and the state file see it
    QList<qint32> ints;
    QByteArray textValue;
};

constexpr int LogoLines = 32;
constexpr int LineBytes = 128;

class Device {
public:
    Device(int modelId, const QByteArray& version);

    // One trimmed, non-empty request line in, the answer line (without ending) out.
    QByteArray handle(const QByteArray& request, qint64 nowMs);

    // "NAME?" without the wire: the value text, or false for an unknown name.
    bool read(const QByteArray& name, qint64 nowMs, QByteArray* value);
    // Sets a value as the host side of the program may: read-only and internal values too.
    bool set(const QByteArray& name, const QByteArray& text, qint64 nowMs);
    QList<QByteArray> readableNames() const;
    void factoryReset();

    const Model& model() const { return m_model; }
    bool inBootLoader() const { return m_bootLoader; }
    void leaveBootLoader() { m_bootLoader = false; }
    bool isScreenLine(const QByteArray& name) const;

    // The image as "NAME=values" lines, and back.
    QByteArray saveText(qint64 nowMs);
    bool loadText(const QByteArray& text, qint64 nowMs, QString* error);

private:
    enum class WriteResult { Ok, Unknown, ReadOnly, BadValue };

    void buildTable();
    void addInts(const QByteArray& name, QList<qint32> ints, bool writable = true);
    void addText(const QByteArray& name, const QByteArray& text, bool writable);
    void applyModel(int id);
    Param* find(const QByteArray& name);
    const Param* find(const QByteArray& name) const;
    qint32& at(const QByteArray& name, int index);
    qint32 get(const QByteArray& name, int index) const;

    QByteArray answerRead(const QByteArray& name, qint64 nowMs);
    QByteArray answerWrite(const QByteArray& name, const QByteArray& value, qint64 nowMs);
    QByteArray answerCommand(const QByteArray& command, qint64 nowMs);
    WriteResult write(const QByteArray& name, const QByteArray& value, qint64 nowMs, bool hostSide);
    bool liveRead(const QByteArray& name, qint64 nowMs, QByteArray* value);
    bool logoIndex(const QByteArray& name, int* index) const;
    bool screenIndex(const QByteArray& name, int* index) const;

    // Simulation (emu_sim.cpp).
    void advance(qint64 nowMs);
    void step(double dtSec);
    void finishFiring();
    void pressKeys(const QList<qint32>& keys, qint64 nowMs);
    void changeMainValue(int direction);
    void measureCoil();
    void calibrateBatteries();
    void resetLive();
    double cellVolts() const;
    double packVolts() const;
    double packCapacityMWh() const;
    int cellPercent() const;
    std::array<qint32, 6> idleAtm() const;
    QByteArray liveList(const QByteArray& name);

    // Screen (emu_screen.cpp).
    QByteArray screenLine(int index);
    std::vector<quint8> renderScreen();
    std::vector<quint16> cellColors();

    Model m_model;
    QByteArray m_version;
    std::vector<Param> m_params;
    QHash<QByteArray, int> m_index;
    std::vector<QByteArray> m_logos; // 32 lines of 128 bytes in the model's packing
    bool m_bootLoader = false;

    // Live state.
    qint64 m_simMs = -1;
    bool m_firing = false;
    qint64 m_fireLeftMs = 0;
    double m_fireSec = 0;
    double m_coilTemp = 22;
    double m_energyJ = 0;
    double m_peakTemp = 22;
    double m_heat = 0;      // board warming above room temperature, degrees
    double m_charge = 8500; // state of charge of every cell, 0.01 %
    double m_ptimeRest = 0; // firing seconds not yet counted in the puff time
    double m_sagVolts = 0;  // cell voltage drop while firing
    std::array<qint32, 6> m_atm{};
    std::array<qint64, 3> m_keysUntil{}; // fire, minus, plus held until (ms)
};

} // namespace emu
