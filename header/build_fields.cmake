# The banner's build fields: platform tag, build date and build time, in UTC.
# string(TIMESTAMP) takes SOURCE_DATE_EPOCH from the environment when it is
# set, so a build can be reproduced.
string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" KORVEN_PLATFM)
string(TIMESTAMP KORVEN_BLDDAT "%b %d %Y" UTC)
string(TIMESTAMP KORVEN_BLDTIM "%H:%M:%S" UTC)
