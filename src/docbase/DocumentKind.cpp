#include <qdat/docbase/DocumentKind.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <limits>
#include <mutex>
#include <shared_mutex>
#include <stdexcept>

#include <qdat/docbase/DocDataType.h>
#include <qdat/docbase/QDocument.h>
#include <qdat/host/NamedInterfaces.h>
#include <qdat/host/Resources.h>

namespace qdat {

namespace {

// Filled while the library loads; a host that defines kinds later takes the
// lock as the library's own do.
struct KindRegistry {
    std::shared_mutex lock;
    std::vector<const DocumentKind*> kinds;
};

KindRegistry& Kinds() {
    static KindRegistry registry;
    return registry;
}

std::vector<const DocumentKind*> Registry() {
    KindRegistry& registry = Kinds();
    const std::shared_lock lock(registry.lock);
    return registry.kinds;
}

bool EndsWithNoCase(std::string_view text, std::string_view tail) {
    if (tail.empty() || tail.size() > text.size()) return false;
    return std::equal(
        tail.begin(), tail.end(), text.end() - static_cast<std::ptrdiff_t>(tail.size()), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
        });
}

// Kinds are defined by static objects: a mistake in their tables shows when
// the library loads, not when a user's file happens to meet it.
void CheckNewKind(const char* name, const KindDescription& d) {
    const auto refuse = [name](const std::string& why) {
        throw std::logic_error(std::string("document kind ") + name + ": " + why);
    };
    if (RuntimeClass::FromName(name)) refuse("a class of this name is registered already");
    for (const TypeString& t : d.typeStrings) {
        if (t.id != 0 && HasBuiltinResourceString(t.id))
            refuse("resource string " + std::to_string(t.id) + " is defined twice");
    }
    for (const DocumentKind* other : Registry()) {
        for (const SignatureRule& rule : d.signatures) {
            if (!rule.IsRead()) continue;
            for (const SignatureRule& theirs : other->Description().signatures) {
                if (theirs.IsRead() && theirs.text == rule.text)
                    refuse("signature \"" + std::string(rule.text) + "\" is read by " + other->GetName() +
                           " already");
            }
        }
    }
    for (const EditorType& type : d.editorTypes) {
        if (type.block < 0 || static_cast<std::size_t>(type.block) >= d.content.size() ||
            !d.content[static_cast<std::size_t>(type.block)].IsList())
            refuse("an editor type names no list of the content");
    }
}

}  // namespace

std::string_view TypeString::Field(int index) const {
    std::string_view rest = text ? std::string_view(text) : std::string_view();
    for (int i = 0; i < index; ++i) {
        const auto feed = rest.find('\n');
        if (feed == std::string_view::npos) return {};
        rest.remove_prefix(feed + 1);
    }
    return rest.substr(0, rest.find('\n'));
}

DocumentKind::DocumentKind(const char* name, const RuntimeClass* base, Factory factory,
                           KindDescription description)
    : RuntimeClass((CheckNewKind(name, description), name), base, std::move(factory)),
      m_description(description) {
    std::vector<ResourceString> texts;
    for (const TypeString& t : m_description.typeStrings)
        if (t.id != 0) texts.push_back({t.id, t.text});
    RegisterResourceStrings(texts);
    for (const EditorType& type : m_description.editorTypes) {
        RegisterFactory(kDocDataTypeInterface, [this, type]() -> std::unique_ptr<QObject> {
            if (type.makeDescriptor) return type.makeDescriptor(*this, type);
            return std::make_unique<ContentBlockDataType>(*this, type);
        });
    }
    KindRegistry& registry = Kinds();
    const std::lock_guard lock(registry.lock);
    registry.kinds.push_back(this);
}

int DocumentKind::GetTypeStringId() const {
    return m_description.typeStrings.empty() ? 0 : m_description.typeStrings.front().id;
}

std::vector<std::string> DocumentKind::GetExtensions() const {
    std::vector<std::string> out;
    for (const TypeString& t : m_description.typeStrings) {
        const std::string ext(t.Extension());
        if (!ext.empty() && std::find(out.begin(), out.end(), ext) == out.end()) out.push_back(ext);
    }
    return out;
}

const SignatureRule& DocumentKind::RuleFor(std::string_view signature) const {
    for (const SignatureRule& rule : m_description.signatures)
        if (rule.IsRead() && rule.text == signature) return rule;
    return m_description.unknownSignature;
}

std::string_view DocumentKind::WrittenSignature(std::uint32_t flags) const {
    const SignatureRule* rule = WrittenRule(flags);
    return rule ? rule->text : std::string_view();
}

const SignatureRule* DocumentKind::WrittenRule(std::uint32_t flags) const {
    // The written row for the document's variant: every variant flag of the
    // row must be set; the legacy layout goes before the other variants,
    // which go before the plain row.
    const SignatureRule* best = nullptr;
    int bestScore = -1;
    for (const SignatureRule& rule : m_description.signatures) {
        if (!rule.IsWritten()) continue;
        const std::uint32_t variant = rule.set & FormatFlag::VariantBits;
        if ((variant & flags) != variant) continue;
        const int score = ((variant & FormatFlag::LegacyLayout) ? 4 : 0) +
                          std::popcount(variant & ~FormatFlag::LegacyLayout);
        if (score > bestScore) {
            best = &rule;
            bestScore = score;
        }
    }
    return best;
}

bool DocumentKind::HasLegacyLayout() const {
    return std::any_of(
        m_description.signatures.begin(), m_description.signatures.end(),
        [](const SignatureRule& r) { return r.IsWritten() && (r.set & FormatFlag::LegacyLayout); });
}

std::unique_ptr<QDocument> DocumentKind::CreateDocument() const {
    std::unique_ptr<QObject> object = CreateObject();
    if (auto* doc = dynamic_cast<QDocument*>(object.get())) {
        object.release();
        return std::unique_ptr<QDocument>(doc);
    }
    return nullptr;
}

std::vector<const DocumentKind*> DocumentKind::All() {
    std::vector<const DocumentKind*> kinds = Registry();
    // Kinds without a type-string number (0) after the numbered ones.
    const auto order = [](const DocumentKind* k) {
        const int id = k->GetTypeStringId();
        return id == 0 ? std::numeric_limits<int>::max() : id;
    };
    std::stable_sort(kinds.begin(), kinds.end(),
                     [&](const DocumentKind* a, const DocumentKind* b) { return order(a) < order(b); });
    return kinds;
}

const DocumentKind* DocumentKind::Find(std::string_view className) {
    for (const DocumentKind* kind : Registry())
        if (className == kind->GetName()) return kind;
    return nullptr;
}

std::vector<DocumentKind::Match> DocumentKind::MatchSignature(std::string_view signature) {
    std::vector<Match> matches;
    for (const DocumentKind* kind : All()) {
        const SignatureRule& rule = kind->RuleFor(signature);
        if (&rule != &kind->m_description.unknownSignature) matches.push_back({kind, &rule});
    }
    return matches;
}

std::vector<const DocumentKind*> DocumentKind::MatchExtension(std::string_view path) {
    std::vector<const DocumentKind*> matches;
    for (const DocumentKind* kind : All()) {
        for (const std::string& ext : kind->GetExtensions()) {
            if (EndsWithNoCase(path, ext)) {
                matches.push_back(kind);
                break;
            }
        }
    }
    return matches;
}

// ---------------------------------------------------------------------------
// The editor descriptor over a content list

ContentBlockDataType::ContentBlockDataType(const DocumentKind& kind, const EditorType& type)
    : m_kind(kind), m_type(type), m_block(kind.GetContent()[static_cast<std::size_t>(type.block)]) {}

const ColumnDescription* ContentBlockDataType::GetColumn(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < m_block.columns.size()
               ? &m_block.columns[static_cast<std::size_t>(index)]
               : nullptr;
}

bool ContentBlockDataType::Serves(const QDocument& doc) const {
    return doc.GetRuntimeClass().IsDerivedFrom(m_kind);
}

int ContentBlockDataType::GetRowCount(QDocument& doc) const {
    return Serves(doc) ? m_block.count(doc) : 0;
}

void* ContentBlockDataType::GetRowAt(QDocument& doc, int index) const {
    return Serves(doc) ? m_block.row(doc, index) : nullptr;
}

bool ContentBlockDataType::InsertRowAt(QDocument& doc, int index) const {
    if (!Serves(doc) || !m_block.insertAt || index < 0 || index > m_block.count(doc)) return false;
    if (!m_block.insertAt(doc, index)) return false;
    doc.SetModifiedFlag(true);
    return true;
}

bool ContentBlockDataType::DeleteRowAt(QDocument& doc, int index) const {
    if (!Serves(doc) || !m_block.removeAt || index < 0 || index >= m_block.count(doc)) return false;
    if (!m_block.removeAt(doc, index)) return false;
    doc.SetModifiedFlag(true);
    return true;
}

}  // namespace qdat
