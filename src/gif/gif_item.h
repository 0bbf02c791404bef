#pragma once

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "base/stream.h"
#include "gif/gif_base.h"

namespace fk {

class TGIFListBase;

// A link to an object that may be destroyed first: it reads null from then on.
template <typename T>
using TGIFAnchor = std::shared_ptr<T*>;

// A part of a document (header, frame, extension). Destroying an item that sits in a list first
// unlinks it from that list.
class TGIFItem : public TGIFPersistent {
public:
    explicit TGIFItem(TGIFImage* image);
    ~TGIFItem() override;
    TGIFItem(const TGIFItem&) = delete;
    TGIFItem& operator=(const TGIFItem&) = delete;

    // The owning document, or null once it is gone.
    virtual TGIFImage* image() const { return m_image ? *m_image : nullptr; }
    bool linked() const { return m_list != nullptr; }

    virtual int RequiredVersion() const { return 1; }
    // Hands a warning to the document's handler, if it has one.
    void ReportWarning(TGIFPersistent* sender, TGIFSeverity severity,
                       const std::string& message) const;
    virtual void SaveToStream(Stream& stream) = 0;
    // Creates or truncates the file and writes the item alone into it.
    void WriteToFile(const std::string& path);

protected:
    void setImage(TGIFImage* image);

private:
    friend class TGIFListBase;
    TGIFAnchor<TGIFImage> m_image;
    TGIFListBase* m_list = nullptr;
};

// An owning, ordered list: adding hands the item over, clearing destroys, removing only unlinks.
class TGIFListBase {
public:
    TGIFListBase() = default;
    ~TGIFListBase() { Clear(); }
    TGIFListBase(const TGIFListBase&) = delete;
    TGIFListBase& operator=(const TGIFListBase&) = delete;

    int count() const { return int(m_items.size()); }
    bool empty() const { return m_items.empty(); }
    void Clear();

protected:
    void addItem(std::unique_ptr<TGIFItem> item);
    std::unique_ptr<TGIFItem> removeItem(TGIFItem* item);
    TGIFItem* at(int index) const { return m_items.at(size_t(index)); }
    int indexOf(const TGIFItem* item) const;

private:
    friend class TGIFItem;
    void unlink(TGIFItem* item);

    std::vector<TGIFItem*> m_items;
};

template <typename T>
class TGIFList : public TGIFListBase {
public:
    // Returns the item, which the list now owns.
    template <typename U>
    U* Add(std::unique_ptr<U> item) {
        static_assert(std::is_base_of_v<T, U>);
        U* raw = item.get();
        addItem(std::move(item));
        return raw;
    }
    // Unlinks the item and hands it back; null when it is not in this list.
    template <typename U>
    std::unique_ptr<U> Remove(U* item) {
        static_assert(std::is_base_of_v<T, U>);
        return std::unique_ptr<U>(static_cast<U*>(removeItem(item).release()));
    }
    void Delete(int index) { removeItem(at(index)); }
    T* operator[](int index) const { return static_cast<T*>(at(index)); }
    int IndexOf(const T* item) const { return indexOf(item); }
};

}  // namespace fk
