#include "gif/gif_item.h"

#include <algorithm>

#include "gif/gif_image.h"

namespace fk {

TGIFItem::TGIFItem(TGIFImage* image) {
    setImage(image);
}

TGIFItem::~TGIFItem() {
    if (m_list != nullptr)
        m_list->unlink(this);
}

void TGIFItem::setImage(TGIFImage* image) {
    m_image = image != nullptr ? image->anchor() : TGIFAnchor<TGIFImage>();
}

void TGIFItem::ReportWarning(TGIFPersistent* sender, TGIFSeverity severity,
                             const std::string& message) const {
    if (TGIFImage* doc = image())
        doc->Warning(sender, severity, message);
}

void TGIFItem::WriteToFile(const std::string& path) {
    saveStreamToFile(path, [this](Stream& out) { SaveToStream(out); });
}

void TGIFListBase::Clear() {
    std::vector<TGIFItem*> items;
    items.swap(m_items);
    for (TGIFItem* item : items) {
        item->m_list = nullptr;
        delete item;
    }
}

void TGIFListBase::addItem(std::unique_ptr<TGIFItem> item) {
    if (!item)
        return;
    if (item->m_list != nullptr)
        item->m_list->unlink(item.get());
    m_items.push_back(item.get());
    item.release()->m_list = this;
}

std::unique_ptr<TGIFItem> TGIFListBase::removeItem(TGIFItem* item) {
    if (item == nullptr || item->m_list != this)
        return nullptr;
    unlink(item);
    return std::unique_ptr<TGIFItem>(item);
}

int TGIFListBase::indexOf(const TGIFItem* item) const {
    auto it = std::find(m_items.begin(), m_items.end(), item);
    return it == m_items.end() ? -1 : int(it - m_items.begin());
}

void TGIFListBase::unlink(TGIFItem* item) {
    auto it = std::find(m_items.begin(), m_items.end(), item);
    if (it != m_items.end())
        m_items.erase(it);
    item->m_list = nullptr;
}

}  // namespace fk
