#include "core/resource_manager.h"

#include <new>

// ---- iterator

i_resource_manager::iterator::iterator(const iterator& other)
    : resource_loader(), map_(other.map_), position_(other.position_), manager_(other.manager_) {}

i_resource_manager::iterator& i_resource_manager::iterator::operator=(const iterator& other) {
    if (this == &other) return *this;
    withdraw();
    map_ = other.map_;
    position_ = other.position_;
    manager_ = other.manager_;
    return *this;
}

i_resource_manager::iterator::~iterator() { withdraw(); }

// The loader thread holds this iterator's address while its load is
// queued; it must let go before the iterator changes or is freed.
void i_resource_manager::iterator::withdraw() {
    if (!notifier_) return;
    if (manager_) manager_->loader_.withdraw(this);
    delete notifier_;
    notifier_ = nullptr;
}

void i_resource_manager::iterator::set(i_resource_manager* manager,
                                       resource_entry_map::iterator position) {
    manager_ = manager;
    map_ = &manager->entries_;
    position_ = position;
}

void i_resource_manager::iterator::reset() {
    withdraw();
    manager_ = nullptr;
    map_ = nullptr;
}

bool i_resource_manager::iterator::load() {
    bool ok = manager_ && manager_->load(*this);
    if (notifier_) {
        if (!ok && notifier_->result() >= 0) notifier_->set_result(-1);
        notifier_->set();
    }
    return ok;
}

int32_t i_resource_manager::iterator::use_count() const {
    if (!manager_) return 0;
    int32_t n = position_->second.use_count;
    return n < 1 ? 0 : n;
}

const uint8_t* i_resource_manager::iterator::data() const {
    if (!manager_ || !position_->second.package) return nullptr;
    return archive::entry_data(position_->second.package_entry);
}

uint32_t i_resource_manager::iterator::size() const {
    if (!manager_ || !position_->second.package) return 0;
    return archive::entry_size(position_->second.package_entry);
}

// ---- manager

i_resource_manager::~i_resource_manager() { loader_.stop(); }

bool i_resource_manager::on_loaded(iterator&) { return true; }

bool i_resource_manager::find(iterator& out, const wchar_t* path, const string& name) {
    out.reset();
    archive* package = archive_manager::instance()->open_archive(path);
    if (!package) return false;
    resource_key key{package, name};
    auto found = entries_.find(key);
    if (found != entries_.end()) {
        out.set(this, found);
        return true;
    }
    archive::entry_iterator package_entry =
        name.empty() ? package->first() : package->find(name);
    if (package_entry == package->end()) return false;
    void* resource = create_resource();
    if (!resource) return false;
    resource_entry entry;
    entry.package = package;
    entry.package_entry = package_entry;
    entry.resource = resource;
    out.set(this, entries_.emplace(key, entry).first);
    return true;
}

void* i_resource_manager::acquire(iterator& it) {
    resource_entry* e = it.entry();
    if (!e) return nullptr;
    if (e->use_count < 1) {
        if (!load(it) || !on_loaded(it)) return nullptr;
        if (e->use_count < 0) e->use_count = 0;
    }
    ++e->use_count;
    return e->resource;
}

bool i_resource_manager::load(iterator& it) {
    resource_entry* e = it.entry();
    if (!e || !e->package) return false;
    critical_lock guard(lock_);
    // Loaded by a background job that its owner has not finished yet.
    if (e->loaded) return true;
    if (!e->package->lock_entry(e->package_entry)) return false;
    bool ok = load_resource(it);
    e->package->unlock_entry(e->package_entry);
    e->loaded = ok;
    return ok;
}

int i_resource_manager::load_async(iterator& it) {
    resource_entry* e = it.entry();
    if (!e) return -1;
    if (e->use_count >= 1) return 1;
    e->use_count = 0;
    if (!loader_.create()) return -1;
    if (it.pending()) return 0;
    resource_notifier* n = new (std::nothrow) resource_notifier;
    if (!n || !n->valid()) {
        delete n;
        return -1;
    }
    n->reset();
    it.set_notifier(n);
    if (!loader_.push(&it)) {
        it.set_notifier(nullptr);
        delete n;
        return -1;
    }
    return 0;
}

// A pending job is always seen through to its end here, even when a
// synchronous acquire has meanwhile counted a use: the job still holds the
// iterator and the notifier, and answering early would leak the notifier
// and leave the job running on an iterator its owner thinks is done.
int i_resource_manager::finish_load(iterator& it) {
    resource_entry* e = it.entry();
    if (!e) return -1;
    resource_notifier* n = it.notifier();
    if (!n) return 1;
    if (!n->wait()) return 0;
    int32_t result = n->result();
    loader_.suspend_if_idle();
    it.set_notifier(nullptr);
    delete n;
    if (result < 0) return result;
    if (!on_loaded(it)) return -1;
    if (e->use_count < 0) e->use_count = 0;
    ++e->use_count;
    return 1;
}

void* i_resource_manager::get_info(iterator& it) {
    resource_entry* e = it.entry();
    if (!e) return nullptr;
    if (e->info) return e->info;
    critical_lock guard(lock_);
    void* info = e->loaded ? copy_info(e->resource) : nullptr;
    if (!info && e->package && e->package->lock_entry(e->package_entry)) {
        info = create_info(archive::entry_data(e->package_entry),
                           archive::entry_size(e->package_entry));
        e->package->unlock_entry(e->package_entry);
    }
    e->info = info;
    return info;
}

bool i_resource_manager::release(void* resource) {
    if (!resource) return false;
    for (auto pos = entries_.begin(); pos != entries_.end(); ++pos) {
        if (pos->second.resource != resource) continue;
        iterator it;
        it.set(this, pos);
        return release_entry(it);
    }
    return false;
}

void i_resource_manager::unload(resource_entry& e) {
    if (e.loaded) release_resource(e.resource);
    e.loaded = false;
}

bool i_resource_manager::release_entry(iterator& it) {
    resource_entry* e = it.entry();
    if (!e) return false;
    if (--e->use_count < 1) {
        critical_lock guard(lock_);
        unload(*e);
        e->use_count = 0;
    }
    return true;
}

void i_resource_manager::clear() {
    loader_.stop();
    critical_lock guard(lock_);
    for (auto& item : entries_) {
        resource_entry& e = item.second;
        free_info(e.info);
        destroy_resource(e.resource);
        e.resource = nullptr;
    }
    entries_.clear();
}

void i_resource_manager::invalidate_all() {
    critical_lock guard(lock_);
    for (auto& item : entries_) {
        if (item.second.use_count > 0) unload(item.second);
    }
}

bool i_resource_manager::restore_all() {
    bool ok = true;
    for (auto pos = entries_.begin(); pos != entries_.end(); ++pos) {
        if (pos->second.use_count <= 0) continue;
        iterator it;
        it.set(this, pos);
        if (!load(it) || !on_loaded(it)) ok = false;
    }
    return ok;
}

// ---- container

void resource_manager_container::invalidate_all() {
    for (i_resource_manager* m : managers_) m->invalidate_all();
}

bool resource_manager_container::restore_all() {
    bool ok = true;
    for (i_resource_manager* m : managers_) {
        if (!m->restore_all()) ok = false;
    }
    return ok;
}
