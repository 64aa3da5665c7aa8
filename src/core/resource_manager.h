// The shared-resource cache behind textures, sound files and meshes.
//
// `i_resource_manager` keeps one entry per (package, entry name), makes the
// resource object on first request, loads it synchronously or on its
// loader thread, counts its users, releases its contents when the last user
// is gone, and releases and reloads everything in use around a device loss.
// `resource_manager<T, Creator, Info>` binds it to one resource class.
//
// Background load, seen from the owner (main thread):
//   find -> load_async (0) -> every frame finish_load until it answers 1
//   (ready, one use counted) or a negative value (failed) -> iterator.get()
//   -> later release / release_entry.
// An iterator dropped before finish_load has answered withdraws its load.
#ifndef VY_CORE_RESOURCE_MANAGER_H
#define VY_CORE_RESOURCE_MANAGER_H

#include <cstdint>
#include <functional>
#include <map>
#include <set>

#include "core/archive.h"
#include "core/lock.h"
#include "core/resource_loader.h"
#include "core/resource_notifier.h"
#include "core/singleton.h"
#include "core/strings.h"

struct resource_key {
    archive* package;
    string name;  // the entry name inside the package
};

struct resource_key_less {
    bool operator()(const resource_key& a, const resource_key& b) const {
        if (a.package != b.package) return std::less<archive*>()(a.package, b.package);
        return string_compare(a.name, b.name) < 0;
    }
};

struct resource_entry {
    archive* package = nullptr;
    archive::entry_iterator package_entry;
    void* resource = nullptr;
    void* info = nullptr;
    int32_t use_count = 0;
    // The contents are present. A background load sets it before its owner
    // has counted a use, so a synchronous acquire in between loads nothing
    // twice.
    bool loaded = false;
};

using resource_entry_map = std::map<resource_key, resource_entry, resource_key_less>;

class i_resource_manager {
public:
    // A position in the cache, and the job that loads it in the background.
    class iterator : public resource_loader {
    public:
        iterator() = default;
        // A copy names the same entry but has no load pending. Assigning
        // to, resetting or destroying an iterator whose load is pending
        // withdraws that load (waiting for it when it is running). No use
        // is counted; contents a finished load brought in are kept for the
        // entry's next user. The manager must outlive its iterators.
        iterator(const iterator& other);
        iterator& operator=(const iterator& other);
        ~iterator() override;

        // On the loader thread: loads the entry, stores -1 in the notifier
        // when that fails, then sets the notifier.
        bool load() override;

        bool valid() const { return manager_ != nullptr; }
        bool pending() const { return notifier_ != nullptr; }
        void* get() const { return manager_ ? position_->second.resource : nullptr; }
        int32_t use_count() const;
        const resource_key* key() const { return manager_ ? &position_->first : nullptr; }
        resource_entry* entry() const { return manager_ ? &position_->second : nullptr; }
        i_resource_manager* manager() const { return manager_; }

        // The package entry's bytes while the manager holds them locked
        // (inside load_resource and create_info).
        const uint8_t* data() const;
        uint32_t size() const;

    private:
        friend class i_resource_manager;
        void set(i_resource_manager* manager, resource_entry_map::iterator position);
        void reset();
        void withdraw();

        resource_entry_map* map_ = nullptr;
        resource_entry_map::iterator position_;
        i_resource_manager* manager_ = nullptr;
    };

    i_resource_manager() = default;
    // Derived managers clear the cache in their own destructor: the slots
    // are gone by the time this one runs.
    virtual ~i_resource_manager();
    i_resource_manager(const i_resource_manager&) = delete;
    i_resource_manager& operator=(const i_resource_manager&) = delete;

    // The entry for (path, name): the file is opened as a package through
    // the archive manager (a plain file is one entry named ""; an empty
    // name means the package's first entry). False, with the iterator
    // unset, when the package, the object or the entry can't be had.
    bool find(iterator& out, const wchar_t* path, const string& name);
    // Loads when nobody uses the entry yet, then counts a use. Null when
    // loading fails.
    void* acquire(iterator& it);
    // Under the manager's lock: the package entry's bytes to load_resource.
    bool load(iterator& it);
    // -1 unset iterator or no thread; 1 already in use (nothing queued);
    // 0 queued, or already pending for this iterator.
    int load_async(iterator& it);
    // Polled once a frame: 0 while the load runs; then 1 (one use counted)
    // or the negative result. 1 when nothing is pending; -1 for an unset
    // iterator.
    int finish_load(iterator& it);
    // The entry's information record, made on first request.
    void* get_info(iterator& it);
    // Gives one use back; false when no entry holds the resource.
    bool release(void* resource);
    bool release_entry(iterator& it);
    // Destroys every object and record and forgets every entry. The loader
    // thread is stopped first, so no job runs on an entry being destroyed.
    void clear();
    // Device lost: releases the contents of everything in use.
    void invalidate_all();
    // Device reset: reloads everything in use; false when any load failed.
    bool restore_all();

    size_t entry_count() const { return entries_.size(); }
    resource_loader_manager& loader() { return loader_; }

protected:
    // The slots that bind the cache to one resource class.
    virtual void* create_resource() = 0;
    virtual bool load_resource(iterator& it) = 0;
    virtual bool on_loaded(iterator& it);
    virtual void release_resource(void* resource) = 0;
    virtual void destroy_resource(void* resource) = 0;
    virtual void* create_info(const void* bytes, uint32_t size) = 0;
    virtual void* copy_info(void* resource) = 0;
    virtual void free_info(void*& info) = 0;

private:
    void unload(resource_entry& entry);

    resource_entry_map entries_;
    resource_loader_manager loader_;
    critical_section lock_;
};

// What a Creator offers resource_manager<T, Creator, Info>:
//   T* create();                                   // a new, unloaded object
//   bool load(T&, const void* bytes, uint32_t size);
//   void release(T&);                              // drop contents, keep object
//   Info* create_info(const void* bytes, uint32_t size);  // may answer null
//   Info* copy_info(T&);                           // may answer null
// resource_creator gives the two information slots that answer nothing.
template <class T, class Info>
struct resource_creator {
    Info* create_info(const void*, uint32_t) { return nullptr; }
    Info* copy_info(T&) { return nullptr; }
};

template <class T, class Creator, class Info>
class resource_manager : public i_resource_manager {
public:
    class iterator : public i_resource_manager::iterator {
    public:
        T* get() const { return static_cast<T*>(i_resource_manager::iterator::get()); }
    };

    explicit resource_manager(const Creator& creator = Creator()) : creator_(creator) {}
    ~resource_manager() override { clear(); }

    bool find(iterator& out, const wchar_t* path, const string& name) {
        return i_resource_manager::find(out, path, name);
    }
    T* acquire(iterator& it) { return static_cast<T*>(i_resource_manager::acquire(it)); }
    Info* get_info(iterator& it) { return static_cast<Info*>(i_resource_manager::get_info(it)); }
    using i_resource_manager::acquire;
    using i_resource_manager::find;
    using i_resource_manager::get_info;

    Creator& creator() { return creator_; }

protected:
    void* create_resource() override { return creator_.create(); }
    bool load_resource(i_resource_manager::iterator& it) override {
        T* resource = static_cast<T*>(it.get());
        return resource && creator_.load(*resource, it.data(), it.size());
    }
    void release_resource(void* resource) override {
        if (resource) creator_.release(*static_cast<T*>(resource));
    }
    void destroy_resource(void* resource) override { delete static_cast<T*>(resource); }
    void* create_info(const void* bytes, uint32_t size) override {
        return creator_.create_info(bytes, size);
    }
    void* copy_info(void* resource) override {
        return resource ? creator_.copy_info(*static_cast<T*>(resource)) : nullptr;
    }
    void free_info(void*& info) override {
        delete static_cast<Info*>(info);
        info = nullptr;
    }

private:
    Creator creator_;
};

// The managers whose resources live on the device: released and restored
// together around a device loss.
class resource_manager_container {
public:
    void add(i_resource_manager* manager) { if (manager) managers_.insert(manager); }
    void remove(i_resource_manager* manager) { managers_.erase(manager); }
    void invalidate_all();
    bool restore_all();
    const std::set<i_resource_manager*>& managers() const { return managers_; }

private:
    std::set<i_resource_manager*> managers_;
};

// A process-wide manager that holds one cache and registers it with a
// container for the whole of its life.
template <class Manager, class T, class Creator, class Info>
class resource_manager_wrapper : public singleton<Manager> {
public:
    explicit resource_manager_wrapper(resource_manager_container* container)
        : container_(container) {
        if (container_) container_->add(&cache_);
    }
    ~resource_manager_wrapper() override {
        if (container_) container_->remove(&cache_);
    }

    resource_manager<T, Creator, Info>& cache() { return cache_; }

private:
    resource_manager<T, Creator, Info> cache_;
    resource_manager_container* container_;
};

#endif
