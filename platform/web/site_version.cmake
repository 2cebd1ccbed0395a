# Versions the site as a whole, once every other file is in place. The page
# (index.html, from its template, and page.js) asks for its own files under
# their version, a hash of their contents, so that no cache the browser keeps
# can hand a page the files of another one. The service worker (sw.js) keeps
# every file, those under the same names, and its own version is a hash of
# all of them, so any change is a new worker.
#   cmake -DSITE=DIR -DINDEX=index.html -DWORKER=sw.js.in -DVERSION=1.0.0 -P site_version.cmake
function(hash_files out)
  set(hashes "")
  foreach(file IN LISTS ARGN)
    file(SHA256 ${SITE}/${file} hash)
    string(APPEND hashes "${file} ${hash}\n")
  endforeach()
  string(SHA256 hash "${hashes}")
  string(SUBSTRING ${hash} 0 16 hash)
  set(${out} ${hash} PARENT_SCOPE)
endfunction()

file(GLOB files RELATIVE ${SITE} ${SITE}/*)
list(REMOVE_ITEM files index.html sw.js)
list(SORT files)
hash_files(KALVO_FILES_VERSION ${files})
configure_file(${INDEX} ${SITE}/index.html @ONLY)

list(APPEND files index.html)
list(SORT files)
hash_files(hash ${files})
set(KALVO_SITE_VERSION ${VERSION}-${hash})
set(quoted ${files})
list(TRANSFORM quoted REPLACE "^(page\\.js|page\\.css|kalvo\\.js|kalvo\\.wasm|kalvo\\.webmanifest)$"
     "\\1?v=${KALVO_FILES_VERSION}")
list(TRANSFORM quoted REPLACE "(.+)" "\"\\1\"")
list(JOIN quoted ", " KALVO_SITE_FILES)
configure_file(${WORKER} ${SITE}/sw.js @ONLY)
