include(${FIELDS})
message("[${KORVEN_BLDDAT}] [${KORVEN_BLDTIM}]")
