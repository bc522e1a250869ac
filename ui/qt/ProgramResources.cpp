#include "ProgramResources.h"

#include "CompiledResources.h"

#include <QtGlobal>

namespace vantrell::qt {
namespace {

const res::CResFile& Resources()
{
    static const res::CResFile file = [] {
        std::optional<res::CResFile> parsed = res::CResFile::Parse(CompiledResources());
        if (!parsed)
            qFatal("the program's compiled resources are malformed");
        return *std::move(parsed);
    }();
    return file;
}

} // namespace

res::Dialog LoadDialogTemplate(int id)
{
    const std::optional<res::Bytes> data = Resources().Find(res::kTypeDialog, static_cast<std::uint16_t>(id));
    std::optional<res::Dialog> dialog = data ? res::ParseDialogTemplateEx(*data) : std::nullopt;
    if (!dialog)
        qFatal("dialog template %d is missing or malformed in the program's resources", id);
    return *std::move(dialog);
}

std::vector<res::DialogInitEntry> LoadDialogInit(int id)
{
    const std::optional<res::Bytes> data = Resources().Find(res::kTypeDialogInit, static_cast<std::uint16_t>(id));
    if (!data)
        return {};
    std::optional<std::vector<res::DialogInitEntry>> entries = res::ParseDialogInit(*data);
    if (!entries)
        qFatal("the initialisation data of dialog %d is malformed in the program's resources", id);
    return *std::move(entries);
}

QString LoadResourceString(int id)
{
    const std::optional<res::Bytes> block = Resources().Find(res::kTypeString, res::StringBlockName(id));
    if (!block)
        return {};
    const std::optional<std::string> text = res::StringFromBlock(*block, id);
    if (!text)
        qFatal("string table block %d is malformed in the program's resources", res::StringBlockName(id));
    return QString::fromStdString(*text);
}

} // namespace vantrell::qt
