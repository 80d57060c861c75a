#include "literals.h"

#include <cctype>

namespace hexjpg::forgiving {

namespace {

constexpr std::array<signed char, 128> makeBase64()
{
    std::array<signed char, 128> t{};
    for (auto &v : t)
        v = -1;
    for (int i = 0; i < 26; ++i) {
        t[std::size_t('A' + i)] = static_cast<signed char>(i);
        t[std::size_t('a' + i)] = static_cast<signed char>(26 + i);
    }
    for (int i = 0; i < 10; ++i)
        t[std::size_t('0' + i)] = static_cast<signed char>(52 + i);
    t['+'] = 62;
    t['/'] = 63;
    return t;
}
constexpr std::array<signed char, 128> kBase64 = makeBase64();

} // namespace

template <typename Unit>
void PythonReader<Unit>::read(const TextWindow<Unit> &t, Ledger<Unit> &ledger)
{
    const qint64 n = t.size();
    qint64 from = 0;
    for (qint64 i = 0; i < n && !ledger.stopping(); ++i) {
        const unsigned c = t.at(i);
        if (!((c == 'b' || c == 'B') && i + 1 < n && (t.at(i + 1) == '\'' || t.at(i + 1) == '"')))
            continue;
        if (i > 0 && (std::isalnum(int(std::min(t.at(i - 1), 127u))) || t.at(i - 1) == '_'))
            continue;
        ledger.skipNonBlank(from, i);
        const unsigned quote = t.at(i + 1);
        qint64 p = i + 2;
        while (p < n && t.at(p) != quote && !isBreak(t.at(p))) {
            if (t.at(p) != '\\') {
                if (t.at(p) < 256)
                    ledger.put(int(t.at(p)));
                else
                    ledger.skip(p, p + 1);
                ++p;
                continue;
            }
            p = escape(t, ledger, p);
        }
        i = p;
        from = p + 1;
    }
    ledger.skipNonBlank(from, n);
}

template <typename Unit>
qint64 PythonReader<Unit>::escape(const TextWindow<Unit> &t, Ledger<Unit> &ledger, qint64 p)
{
    if (p + 1 >= t.size())
        return p + 1;
    const unsigned e = t.at(p + 1);
    static const char plain[] = "\\'\"abfnrtv";
    static const char value[] = "\\'\"\a\b\f\n\r\t\v";
    for (int k = 0; plain[k]; ++k)
        if (e == unsigned(plain[k])) {
            ledger.put(value[k]);
            return p + 2;
        }
    if ((e == 'x' || e == 'X') && p + 3 < t.size() && hexValue(t.at(p + 2)) >= 0 &&
        hexValue(t.at(p + 3)) >= 0) {
        ledger.put(hexValue(t.at(p + 2)) << 4 | hexValue(t.at(p + 3)));
        return p + 4;
    }
    if (e >= '0' && e <= '7') { // octal, up to three digits
        int v = 0;
        qint64 q = p + 1;
        while (q < t.size() && q < p + 4 && t.at(q) >= '0' && t.at(q) <= '7')
            v = v * 8 + int(t.at(q++) - '0');
        ledger.put(v & 0xff);
        return q;
    }
    ledger.skip(p, p + 2);
    return p + 2;
}

template <typename Unit> qint64 findSignature(const TextWindow<Unit> &t, qint64 from, qint64 to)
{
    static const char *const signatures[] = {"/9j/", "iVBORw0KGgo", "R0lGOD"};
    const qint64 n = t.size();
    if (to < 0)
        to = n;
    for (qint64 i = from; i < to; ++i) {
        const unsigned c = t.at(i);
        if (c != '/' && c != 'i' && c != 'R')
            continue;
        for (const char *s : signatures) {
            qint64 k = 0;
            while (s[k] && i + k < n && t.at(i + k) == unsigned(s[k]))
                ++k;
            if (!s[k])
                return i;
        }
    }
    return n;
}

template <typename Unit>
void Base64Reader<Unit>::read(const TextWindow<Unit> &t, Ledger<Unit> &ledger)
{
    qint64 from = m_inRun ? run(t, ledger, 0) : 0;
    while (!m_inRun && !ledger.out().interrupted) {
        const qint64 i = findSignature(t, from);
        if (i >= t.size())
            break;
        ledger.skipNonBlank(from, i);
        m_bits = 0;
        m_have = 0;
        m_inRun = true;
        from = run(t, ledger, i);
    }
    if (!m_inRun)
        ledger.skipNonBlank(from, t.size());
}

// A picture's base64 from p on, to the first character that is none; returns where it ends. At
// the end of what is there, the run goes on with the next block.
template <typename Unit>
qint64 Base64Reader<Unit>::run(const TextWindow<Unit> &t, Ledger<Unit> &ledger, qint64 p)
{
    for (; p < t.size() && !ledger.stopping(); ++p) {
        const unsigned c = t.at(p);
        if (isBlank(c) || isBreak(c))
            continue;
        const int v = c < 128 ? kBase64[c] : -1;
        if (v < 0)
            break;
        m_bits = m_bits << 6 | unsigned(v);
        m_have += 6;
        if (m_have >= 8) {
            m_have -= 8;
            ledger.put(int(m_bits >> m_have) & 0xff);
        }
    }
    if (p >= t.size())
        return p;
    m_inRun = false;
    while (p < t.size() && t.at(p) == '=')
        ++p;
    return p;
}

template qint64 findSignature(const TextWindow<char16_t> &, qint64, qint64);
template qint64 findSignature(const TextWindow<unsigned char> &, qint64, qint64);
template class PythonReader<char16_t>;
template class PythonReader<unsigned char>;
template class Base64Reader<char16_t>;
template class Base64Reader<unsigned char>;

} // namespace hexjpg::forgiving
