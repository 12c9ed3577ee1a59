#include "emulator/emu_device.h"

#include <QString>

#include <limits>

namespace emu {

Model modelFor(int id) {
    switch (id) {
    case 1:
        return {1, 32, false, false, 8, 3, 2};
    case 2:
        return {2, 64, true, false, 4, 5, 2};
    case 3:
        return {3, 32, false, false, 8, 3, 1};
    case 4:
        return {4, 64, true, true, 4, 5, 2};
    case 5:
        return {5, 64, true, false, 4, 5, 3};
    default: // 0 and every unknown ID behave as the unknown device
        return {id, 32, false, false, 0, 3, 2};
    }
}

namespace {

// Strict decimal signed 32-bit integer: optional '-', digits, nothing else.
bool parseInt(const QByteArray& text, qint32* value) {
    if (text.isEmpty() || text.size() > 11)
        return false;
    int i = text.startsWith('-') ? 1 : 0;
    if (i == text.size())
        return false;
    qint64 v = 0;
    for (; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    if (text.startsWith('-'))
        v = -v;
    if (v < std::numeric_limits<qint32>::min() || v > std::numeric_limits<qint32>::max())
        return false;
    *value = static_cast<qint32>(v);
    return true;
}

bool parseList(const QByteArray& text, qsizetype count, QList<qint32>* list) {
    list->clear();
    if (text.isEmpty())
        return count == 0;
    const QList<QByteArray> fields = text.split(',');
    if (fields.size() != count)
        return false;
    for (const QByteArray& field : fields) {
        qint32 v = 0;
        if (!parseInt(field, &v))
            return false;
        list->append(v);
    }
    return true;
}

QByteArray joinInts(const QList<qint32>& ints) {
    QByteArray out;
    for (qsizetype i = 0; i < ints.size(); ++i) {
        if (i > 0)
            out += ',';
        out += QByteArray::number(ints.at(i));
    }
    return out;
}

QByteArray indexed(const char* base, int index) {
    return QByteArray(base) + '[' + QByteArray::number(index) + ']';
}

const qint32 DefaultIPar[4][5] = {
    {1, 2, 4, 13, 14}, {1, 2, 3, 13, 14}, {1, 2, 5, 13, 14}, {12, 8, 21, 13, 14}};
const qint32 DefaultBrTime[6][3] = {{100, 10, 31744}, {75, 10, 992}, {50, 10, 31},
                                    {25, 60, 32768},  {0, 600, 0},   {75, 0, 31775}};
const qint32 DefaultV2P[12][2] = {{0, 310},    {370, 352},  {765, 365},   {1809, 369},
                                  {2818, 373}, {3973, 378}, {5115, 382},  {6434, 389},
                                  {7660, 399}, {8943, 410}, {10000, 420}, {9000, 250}};

} // namespace

Device::Device(int modelId, const QByteArray& version)
    : m_model(modelFor(modelId)), m_version(version) {
    buildTable();
    m_logos.assign(LogoLines, QByteArray(LineBytes, '\0'));
    resetLive();
}

void Device::addInts(const QByteArray& name, QList<qint32> ints, bool writable) {
    Param p;
    p.name = name;
    p.writable = writable;
    p.ints = std::move(ints);
    m_index.insert(name, static_cast<int>(m_params.size()));
    m_params.push_back(std::move(p));
}

void Device::addText(const QByteArray& name, const QByteArray& text, bool writable) {
    Param p;
    p.name = name;
    p.text = true;
    p.writable = writable;
    p.textValue = text;
    m_index.insert(name, static_cast<int>(m_params.size()));
    m_params.push_back(std::move(p));
}

// The factory image in catalogue order, then the stored monitor values.
void Device::buildTable() {
    m_params.clear();
    m_index.clear();
    const Model& m = m_model;
    addText("VER", m_version, false);
    addInts("ID", {m.id}, false);
    addInts("PROF", {0});
    addInts("FLGS", {96});
    addInts("PUFF", {0, 0});
    addInts("PID", {600, 850, 0});
    addInts("TIME", {1000, 500});
    addInts("FADE", {10, 10});
    addInts("BPRF", {0});
    addInts("BNRG", {30000}, false);
    addInts("KACT", {0, 1, 0, 2, 3, 4, 8, 0});
    addInts("LSCR", QList<qint32>(m.numLogo, 0));
    for (int r = 0; r < 4; ++r)
        addInts(indexed("IPAR", r), QList<qint32>(DefaultIPar[r], DefaultIPar[r] + m.numIPar));
    const int brValues = m.rgb ? 3 : 2;
    for (int r = 0; r < 6; ++r)
        addInts(indexed("BRTM", r), QList<qint32>(DefaultBrTime[r], DefaultBrTime[r] + brValues));
    for (int r = 0; r < 12; ++r)
        addInts(indexed("V2P", r), {DefaultV2P[r][0], DefaultV2P[r][1]});
    for (int p = 0; p < 8; ++p) {
        addText(indexed("PNAM", p), "PROFILE" + QByteArray::number(p + 1), true);
        addInts(indexed("PMOD", p), {1});
        addInts(indexed("PFLG", p), {0});
        addInts(indexed("PPAR", p), {420, 400, 400, 220});
        addInts(indexed("PPRE", p), {400, 100, 10});
        addInts(indexed("PLCK", p), {0, 0});
        addInts(indexed("PTCR", p), {0});
        addInts(indexed("PTFR", p), {10000, 10000, 10000, 10000, 10000});
    }
    addInts("LNRG", {0}, false);
    addInts("LATM", {0, 0, 0, 0, 65535, 0}, false);
    addInts("AERR", {0}, false);
    addInts("PRT", {500, 22}, false);      // measured at power-up
    addInts("EMU.COIL", {500, 22}, false); // the coil: cold resistance (milliohm), its temperature
    m_params.back().internal = true;
}

// Switches to another model, keeping what fits and padding the model-sized rows.
void Device::applyModel(int id) {
    m_model = modelFor(id);
    find("ID")->ints = {id};
    auto reshape = [this](const QByteArray& name, int count, const qint32* defaults) {
        QList<qint32>& ints = find(name)->ints;
        while (ints.size() < count)
            ints.append(defaults ? defaults[ints.size()] : 0);
        ints.resize(count);
    };
    reshape("LSCR", m_model.numLogo, nullptr);
    for (int r = 0; r < 4; ++r)
        reshape(indexed("IPAR", r), m_model.numIPar, DefaultIPar[r]);
    for (int r = 0; r < 6; ++r)
        reshape(indexed("BRTM", r), m_model.rgb ? 3 : 2, DefaultBrTime[r]);
}

void Device::factoryReset() {
    const QByteArray version = find("VER")->textValue;
    const int id = m_model.id;
    const QList<qint32> coil = find("EMU.COIL")->ints; // the coil is no setting
    const QList<qint32> probe = find("PRT")->ints;
    m_version = version;
    m_model = modelFor(id);
    buildTable();
    find("EMU.COIL")->ints = coil;
    find("PRT")->ints = probe;
    resetLive();
}

Param* Device::find(const QByteArray& name) {
    const auto it = m_index.constFind(name);
    return it == m_index.cend() ? nullptr : &m_params[static_cast<size_t>(*it)];
}

const Param* Device::find(const QByteArray& name) const {
    const auto it = m_index.constFind(name);
    return it == m_index.cend() ? nullptr : &m_params[static_cast<size_t>(*it)];
}

qint32& Device::at(const QByteArray& name, int index) {
    return find(name)->ints[index];
}

qint32 Device::get(const QByteArray& name, int index) const {
    const Param* p = find(name);
    return p && index < p->ints.size() ? p->ints.at(index) : 0;
}

bool Device::logoIndex(const QByteArray& name, int* index) const {
    if (!name.startsWith("LOGO[") || !name.endsWith(']'))
        return false;
    qint32 k = -1;
    if (!parseInt(name.mid(5, name.size() - 6), &k) || k < 0 || k >= LogoLines)
        return false;
    *index = k;
    return name == indexed("LOGO", k); // no leading zeros or signs
}

bool Device::screenIndex(const QByteArray& name, int* index) const {
    if (!name.startsWith("SCR[") || !name.endsWith(']'))
        return false;
    qint32 q = -1;
    const int lines = m_model.height / 8 + (m_model.color ? 2 : 0);
    if (!parseInt(name.mid(4, name.size() - 5), &q) || q < 0 || q >= lines)
        return false;
    *index = q;
    return name == indexed("SCR", q);
}

bool Device::isScreenLine(const QByteArray& name) const {
    int q = 0;
    return screenIndex(name, &q);
}

QByteArray Device::handle(const QByteArray& request, qint64 nowMs) {
    advance(nowMs);
    const qsizetype eq = request.indexOf('=');
    if (eq >= 0)
        return answerWrite(request.left(eq), request.mid(eq + 1), nowMs);
    if (request.endsWith('?'))
        return answerRead(request.chopped(1), nowMs);
    return answerCommand(request, nowMs);
}

QByteArray Device::answerRead(const QByteArray& name, qint64 nowMs) {
    QByteArray value;
    const Param* p = find(name);
    if (p && p->internal)
        return "ERROR";
    if (!read(name, nowMs, &value))
        return "ERROR";
    return name + '=' + value;
}

QByteArray Device::answerWrite(const QByteArray& name, const QByteArray& value, qint64 nowMs) {
    return write(name, value, nowMs, false) == WriteResult::Ok ? "OK" : "ERROR";
}

QByteArray Device::answerCommand(const QByteArray& command, qint64 nowMs) {
    Q_UNUSED(nowMs);
    if (command == "MRST") {
        resetLive();
    } else if (command == "SRST") {
        factoryReset();
    } else if (command == "PRT") {
        measureCoil();
    } else if (command == "BCAL") {
        calibrateBatteries();
    } else if (command == "LRST") {
        // Opens a logo upload; the stored lines stay until each is rewritten.
    } else if (command == "BOOT") {
        m_bootLoader = true;
    } else {
        return "ERROR";
    }
    return "OK";
}

bool Device::read(const QByteArray& name, qint64 nowMs, QByteArray* value) {
    advance(nowMs);
    if (liveRead(name, nowMs, value))
        return true;
    const Param* p = find(name);
    if (!p)
        return false;
    *value = p->text ? p->textValue : joinInts(p->ints);
    return true;
}

bool Device::liveRead(const QByteArray& name, qint64 nowMs, QByteArray* value) {
    int k = 0;
    if (logoIndex(name, &k)) {
        *value = m_logos[static_cast<size_t>(k)].toBase64();
        return true;
    }
    if (screenIndex(name, &k)) {
        *value = screenLine(k);
        return true;
    }
    if (name == "KEYS") {
        QList<qint32> left;
        for (qint64 until : m_keysUntil)
            left.append(static_cast<qint32>(qMax<qint64>(0, until - nowMs)));
        *value = joinInts(left);
        return true;
    }
    if (name == "EMU.CHARGE") {
        *value = QByteArray::number(qRound(m_charge));
        return true;
    }
    const QByteArray live = liveList(name);
    if (live.isNull())
        return false;
    *value = live;
    return true;
}

Device::WriteResult Device::write(const QByteArray& name, const QByteArray& value, qint64 nowMs,
                                  bool hostSide) {
    advance(nowMs);
    int k = 0;
    if (logoIndex(name, &k)) {
        const auto decoded =
            QByteArray::fromBase64Encoding(value, QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded || decoded.decoded.size() != LineBytes)
            return WriteResult::BadValue;
        m_logos[static_cast<size_t>(k)] = decoded.decoded;
        return WriteResult::Ok;
    }
    if (name == "KEYS") {
        QList<qint32> keys;
        if (!parseList(value, 3, &keys))
            return WriteResult::BadValue;
        for (qint32 ms : keys)
            if (ms < 0)
                return WriteResult::BadValue;
        pressKeys(keys, nowMs);
        return WriteResult::Ok;
    }
    if (hostSide && name == "EMU.CHARGE") {
        qint32 charge = 0;
        if (!parseInt(value, &charge) || charge < 0 || charge > 10000)
            return WriteResult::BadValue;
        m_charge = charge;
        return WriteResult::Ok;
    }
    Param* p = find(name);
    if (!p || (p->internal && !hostSide))
        return WriteResult::Unknown;
    if (!p->writable && !hostSide)
        return WriteResult::ReadOnly;
    if (p->text) {
        p->textValue = value;
        if (name == "VER")
            m_version = value;
        return WriteResult::Ok;
    }
    QList<qint32> ints;
    if (!parseList(value, p->ints.size(), &ints))
        return WriteResult::BadValue;
    if (name == "PROF" && (ints.at(0) < 0 || ints.at(0) > 7))
        return WriteResult::BadValue;
    if (name == "ID") {
        applyModel(ints.at(0));
        return WriteResult::Ok;
    }
    p->ints = ints;
    return WriteResult::Ok;
}

bool Device::set(const QByteArray& name, const QByteArray& text, qint64 nowMs) {
    if (name == "ID") { // a different model: any count fits, the rows are reshaped
        qint32 id = 0;
        if (!parseInt(text, &id))
            return false;
        applyModel(id);
        return true;
    }
    if (name == "PRT") { // the probe result also becomes the simulated coil
        if (write(name, text, nowMs, true) != WriteResult::Ok)
            return false;
        find("EMU.COIL")->ints = {qMax<qint32>(1, get("PRT", 0)), get("PRT", 1)};
        return true;
    }
    return write(name, text, nowMs, true) == WriteResult::Ok;
}

QList<QByteArray> Device::readableNames() const {
    QList<QByteArray> names;
    for (const Param& p : m_params)
        if (!p.internal)
            names.append(p.name);
    for (const char* live : {"BVLT", "BPER", "ATM", "TEMP", "KEYS"})
        names.append(live);
    for (int k = 0; k < LogoLines; ++k)
        names.append(indexed("LOGO", k));
    const int lines = m_model.height / 8 + (m_model.color ? 2 : 0);
    for (int q = 0; q < lines; ++q)
        names.append(indexed("SCR", q));
    return names;
}

QByteArray Device::saveText(qint64 nowMs) {
    advance(nowMs);
    QByteArray out;
    for (const Param& p : m_params)
        out += p.name + '=' + (p.text ? p.textValue : joinInts(p.ints)) + '\n';
    out += "EMU.CHARGE=" + QByteArray::number(qRound(m_charge)) + '\n';
    for (int k = 0; k < LogoLines; ++k)
        out += indexed("LOGO", k) + '=' + m_logos[static_cast<size_t>(k)].toBase64() + '\n';
    return out;
}

bool Device::loadText(const QByteArray& text, qint64 nowMs, QString* error) {
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray line = lines.at(i);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith('#'))
            continue;
        const qsizetype eq = line.indexOf('=');
        const QByteArray name = line.left(eq).trimmed();
        if (eq < 0 || !set(name, line.mid(eq + 1), nowMs)) {
            if (error)
                *error = QString("line %1: bad entry \"%2\"")
                             .arg(i + 1)
                             .arg(QString::fromLatin1(line.left(80)));
            return false;
        }
    }
    return true;
}

} // namespace emu
