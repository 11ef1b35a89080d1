# talvo_homepage(<var>): the web address the package and the metainfo may
# name, or empty. TALVO_WEBSITE (the About window's link) starts as a
# placeholder on a reserved domain, which no package should present as its
# home page.
function(talvo_homepage var)
  set(address "${TALVO_WEBSITE}")
  string(TOLOWER "${address}" lower)
  set(host "")
  if(lower MATCHES "^https?://([^/?#@]*@)?([^/?#:]+)")
    set(host "${CMAKE_MATCH_2}")
  endif()
  if(host STREQUAL "" OR host MATCHES "(^|\\.)(example\\.(com|org|net)|example|invalid|test|localhost)$")
    set(address "")
  endif()
  set(${var} "${address}" PARENT_SCOPE)
endfunction()
