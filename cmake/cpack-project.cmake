# Read by cpack before it packs: CPack writes SOURCE_DATE_EPOCH as the time of every entry, so the
# ZIP of one commit is the same whenever and wherever it is made. One set in the environment wins.
if(CPACK_CVSERVINST_SOURCE_DATE_EPOCH AND NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ENV{SOURCE_DATE_EPOCH} ${CPACK_CVSERVINST_SOURCE_DATE_EPOCH})
endif()
