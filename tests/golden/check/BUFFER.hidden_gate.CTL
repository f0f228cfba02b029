A G (PUT => A F MID)
