#include "IndiPropertyCache.h"

#include <QSet>

void IndiPropertyCache::note(const QString& device, const QString& text)
{
    if (text.isEmpty())
        return;
    if (!m_messages.contains(device) && m_messages.size() >= MaxMessageDevices)
        return;   // the devices that matter spoke long before
    m_messages[device] = Message {++m_serial, text.left(MaxMessageChars)};
}

bool IndiPropertyCache::apply(const IndiEvent& event)
{
    const IndiProperty& p = event.Property;
    switch (event.Kind) {
    case IndiEvent::Type::Define: {
        if (m_props.size() >= MaxProperties && !m_props.contains(key(p.Device, p.Name)))
            return false;
        IndiProperty copy = p;
        copy.Serial = ++m_serial;
        m_props.insert(key(p.Device, p.Name), std::move(copy));
        break;
    }
    case IndiEvent::Type::Set: {
        IndiProperty* known = find(p.Device, p.Name);
        if (!known)
            break;
        for (const IndiElement& e : p.Elements) {
            IndiElement* mine = known->element(e.Name);
            if (!mine)
                continue;
            mine->Value = e.Value;
            if (e.Min)
                mine->Min = e.Min;
            if (e.Max)
                mine->Max = e.Max;
        }
        if (event.HasState)
            known->State = p.State;
        known->Serial = ++m_serial;
        break;
    }
    case IndiEvent::Type::Delete:
        if (p.Name.isEmpty()) {
            for (auto it = m_props.begin(); it != m_props.end();)
                it = it->Device == p.Device ? m_props.erase(it) : std::next(it);
        } else {
            m_props.remove(key(p.Device, p.Name));
        }
        ++m_serial;
        break;
    case IndiEvent::Type::Message:
        break;
    }
    note(p.Device, event.Message);
    return true;
}

const IndiProperty* IndiPropertyCache::find(const QString& device, const QString& name) const
{
    const auto it = m_props.constFind(key(device, name));
    return it == m_props.cend() ? nullptr : &*it;
}

IndiProperty* IndiPropertyCache::find(const QString& device, const QString& name)
{
    const auto it = m_props.find(key(device, name));
    return it == m_props.end() ? nullptr : &*it;
}

bool IndiPropertyCache::hasDevice(const QString& device) const
{
    for (const IndiProperty& p : m_props)
        if (p.Device == device)
            return true;
    return false;
}

QStringList IndiPropertyCache::devices() const
{
    QSet<QString> names;
    for (const IndiProperty& p : m_props)
        names.insert(p.Device);
    QStringList list(names.begin(), names.end());
    list.sort();
    return list;
}

void IndiPropertyCache::markBusy(const QString& device, const QString& name)
{
    if (IndiProperty* p = find(device, name)) {
        p->State = IndiState::Busy;
        p->Serial = ++m_serial;
    }
}

QString IndiPropertyCache::messageSince(const QString& device, quint64 since) const
{
    const auto it = m_messages.constFind(device);
    return it != m_messages.cend() && it->Serial > since ? it->Text : QString();
}
