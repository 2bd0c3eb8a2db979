#ifndef NORV_MANAGER_INTERNAL_REGISTRYMAP_H_
#define NORV_MANAGER_INTERNAL_REGISTRYMAP_H_

// Internal: the lookups the manager's registries share. The caller holds the
// lock that guards the map; a removed entry's reference goes to the caller,
// who releases it after that lock.
namespace norvregistry {

// The entry under `key`, or null.
template <typename Map>
typename Map::mapped_type Find(const Map& map, const typename Map::key_type& key) {
  auto entry = map.find(key);
  return entry == map.end() ? nullptr : entry->second;
}

// Takes the entry under `key` out of the map; null where there is none.
template <typename Map>
typename Map::mapped_type Take(Map& map, const typename Map::key_type& key) {
  auto entry = map.find(key);
  if (entry == map.end()) return nullptr;
  typename Map::mapped_type taken = entry->second;
  map.erase(entry);
  return taken;
}

}  // namespace norvregistry

#endif  // NORV_MANAGER_INTERNAL_REGISTRYMAP_H_
