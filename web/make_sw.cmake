# Writes site/sw.js from sw.js.in: the list of the site's files and a cache
# name made from their contents, so that every build that changes a file
# changes the name. Run as cmake -DSITE=<dir> -DTEMPLATE=<sw.js.in> -P make_sw.cmake.
file(GLOB names RELATIVE ${SITE} ${SITE}/*)
list(REMOVE_ITEM names sw.js)
list(SORT names)
set(all "")
set(list "'./'")
foreach(name ${names})
  file(SHA256 ${SITE}/${name} sum)
  string(APPEND all "${name}:${sum}\n")
  string(APPEND list ", '${name}'")
endforeach()
string(SHA256 hash "${all}")
string(SUBSTRING ${hash} 0 16 ZWP_SITE_HASH)
set(ZWP_SITE_FILES ${list})
configure_file(${TEMPLATE} ${SITE}/sw.js @ONLY)
