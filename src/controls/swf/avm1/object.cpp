#include "controls/swf/avm1/object.h"

#include <QString>

namespace velmora::swf::avm1 {

std::string foldCase(const std::string &s)
{
    bool ascii = true;
    for (char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) {
        std::string out = s;
        for (char &c : out) {
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        }
        return out;
    }
    QString text = QString::fromStdString(s);
    for (QChar &c : text) {
        if (c.unicodeVersion() <= QChar::Unicode_3_2)
            c = c.toLower();
    }
    return text.toStdString();
}

std::string PropertyMap::key(const std::string &name) const
{
    return m_caseSensitive ? name : foldCase(name);
}

Property *PropertyMap::find(const std::string &name)
{
    auto it = m_index.find(key(name));
    return it == m_index.end() ? nullptr : &m_entries[it->second];
}

const Property *PropertyMap::find(const std::string &name) const
{
    auto it = m_index.find(key(name));
    return it == m_index.end() ? nullptr : &m_entries[it->second];
}

PropertyMap::~PropertyMap()
{
    if (m_account)
        m_account->refund(m_chargedBytes);
}

bool PropertyMap::chargeName(std::size_t size)
{
    // What fits a string's own buffer costs nothing more.
    if (size <= 15)
        return false;
    const std::size_t bytes = 2 * size;
    std::shared_ptr<StringAccount> account = StringAccount::chargeInScope(bytes);
    if (!account)
        return false;
    if (!m_account) {
        m_account = std::move(account);
    } else if (account != m_account) {
        account->refund(bytes); // one account a map, the one of its first long name
        return false;
    }
    m_chargedBytes += bytes;
    return true;
}

Property &PropertyMap::insert(const std::string &name)
{
    auto [it, inserted] = m_index.try_emplace(key(name), static_cast<std::uint32_t>(m_entries.size()));
    if (!inserted)
        return m_entries[it->second];
    bool charged = false;
    try {
        charged = chargeName(name.size());
    } catch (const ScriptAbort &) {
        m_index.erase(it);
        throw;
    }
    Property &p = m_entries.emplace_back();
    p.name = name;
    p.charged = charged;
    return p;
}

bool PropertyMap::remove(const std::string &name)
{
    auto it = m_index.find(key(name));
    if (it == m_index.end())
        return false;
    Property &p = m_entries[it->second];
    p.removed = true;
    p.value = Value();
    if (p.charged) {
        m_account->refund(2 * p.name.size());
        m_chargedBytes -= 2 * p.name.size();
        p.charged = false;
    }
    m_index.erase(it);
    if (++m_removed > 16 && m_removed > m_entries.size() / 2)
        compact();
    return true;
}

void PropertyMap::compact()
{
    std::vector<Property> live;
    live.reserve(m_index.size());
    m_index.clear();
    for (Property &p : m_entries) {
        if (p.removed)
            continue;
        m_index.emplace(key(p.name), static_cast<std::uint32_t>(live.size()));
        live.push_back(std::move(p));
    }
    m_entries = std::move(live);
    m_removed = 0;
}

void markValue(const Value &v, std::vector<Object *> &pending)
{
    if (v.isObject() && v.asObject())
        pending.push_back(v.asObject());
}

void Object::markChildren(std::vector<Object *> &pending) const
{
    if (proto)
        pending.push_back(proto);
    props.forEach([&](const Property &p) {
        markValue(p.value, pending);
        if (p.getter)
            pending.push_back(p.getter);
        if (p.setter)
            pending.push_back(p.setter);
    });
}

void FunctionObject::markChildren(std::vector<Object *> &pending) const
{
    Object::markChildren(pending);
    for (const ScopeEntry &e : scope)
        pending.push_back(e.object);
    if (baseClip)
        pending.push_back(baseClip);
}

void Heap::collect(const std::vector<Object *> &roots)
{
    std::vector<Object *> pending(roots.begin(), roots.end());
    while (!pending.empty()) {
        Object *o = pending.back();
        pending.pop_back();
        if (!o || o->marked)
            continue;
        o->marked = true;
        o->markChildren(pending);
    }
    std::erase_if(m_objects, [](const std::unique_ptr<Object> &o) { return !o->marked; });
    for (auto &o : m_objects)
        o->marked = false;
    m_sinceCollect = 0;
}

} // namespace velmora::swf::avm1
