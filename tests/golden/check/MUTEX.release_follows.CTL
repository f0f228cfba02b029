A G (P1 => A F V1)
