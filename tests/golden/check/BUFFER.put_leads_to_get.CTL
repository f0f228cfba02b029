A G (PUT => A F GET)
