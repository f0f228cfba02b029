(* The OCaml modules on small terms, against counts derived by hand. *)

module C = Calventosource
module G = LotosGPM

let failures = ref 0

let check name ok =
  if not ok then begin
    incr failures;
    Printf.printf "FAILED: %s\n" name
  end

let rec to_gpm = function
  | C.Préfixe (a, t) -> G.Préfixe (a, to_gpm t)
  | C.Exit -> G.Exit
  | C.Choix (l, r) -> G.Choix (to_gpm l, to_gpm r)
  | C.Interruption (l, r) -> G.Interruption (to_gpm l, to_gpm r)
  | C.Séquence (l, r) -> G.Séquence (to_gpm l, to_gpm r)
  | C.Hide (g, t) -> G.Hide (g, to_gpm t)
  | C.Appel (g, n) -> G.Appel (g, n)
  | C.Parallèlisme (l, r, g) -> G.Parallèlisme (to_gpm l, to_gpm r, g)
  | C.Stop -> G.Stop

let system gates t = [ (0, gates, t) ]
let alpha defs = C.alpha_stem defs
let gpm defs = G.gpm (List.map (fun (n, g, t) -> (n, g, to_gpm t)) defs)

let edges g s = List.map (fun e -> (e.G.label, e.G.target)) g.G.edges.(s)

let contains text part =
  let n = String.length part and m = String.length text in
  let rec go i = i + n <= m && (String.sub text i n = part || go (i + 1)) in
  go 0

open C

let a_nil = Préfixe ("A", Stop)
let b_nil = Préfixe ("B", Stop)

(* A; NIL ||| B; NIL: both orders meet in one state up to renaming, where
   the plain STEM keeps {1:A,2:B} and {1:B,2:A} apart; one step A|B. *)
let () =
  let s = system [ "A"; "B" ] (Parallèlisme (a_nil, b_nil, [])) in
  check "interleaving: alpha-reduced STEM" (stem_size (alpha s) = (4, 4));
  check "interleaving: STEM text"
    (stem_lines (alpha s)
    = [
        "BEGIN 4;";
        "{}0<{}B:1>{1:B}2;{}0<{}A:1>{1:A}1;";
        "{1:A}1<{}B:2>{1:A,2:B}3;";
        "{1:B}2<{}A:1>{1:A,2:B}3;";
        "";
        "END";
      ]);
  let g = gpm s in
  check "interleaving: maximal-step graph" (G.gpm_size g = (2, 1));
  check "interleaving: the one step" (edges g 0 = [ ("A|B", 1) ])

(* A; EXIT >> B; NIL: A, the internal step waiting for A, then B. *)
let () =
  let s = system [ "A"; "B" ] (Séquence (Préfixe ("A", Exit), b_nil)) in
  check "enabling: STEM text"
    (stem_lines (alpha s)
    = [ "BEGIN 4;"; "{}0<{}A:1>{1:A}1;"; "{1:A}1<{1:A}I:1>{1:I}2;"; "{1:I}2<{1:I}B:1>{1:B}3;"; ""; "END" ]);
  check "enabling: maximal-step graph" (G.gpm_size (gpm s) = (4, 3))

(* A; NIL [> B; NIL: B stays possible after A, and gets event 2. *)
let () =
  let s = system [ "A"; "B" ] (Interruption (a_nil, b_nil)) in
  check "disabling: alpha-reduced STEM" (stem_size (alpha s) = (4, 3));
  check "disabling: B after A" (List.mem "{1:A}1<{}B:2>{1:A,2:B}3;" (stem_lines (alpha s)));
  let g = gpm s in
  (* A and B exclude each other; B after A or alone ends in the same term. *)
  check "disabling: maximal-step graph" (G.gpm_size g = (3, 3));
  check "disabling: two single steps" (edges g 0 = [ ("A", 1); ("B", 2) ])

(* After P then Q, the R's no longer wait for P, which has ended. *)
let () =
  let r_nil = Préfixe ("R", Stop) in
  let s =
    system [ "P"; "Q"; "R" ] (Préfixe ("P", Interruption (Préfixe ("Q", Stop), Parallèlisme (r_nil, r_nil, []))))
  in
  let text = String.concat "\n" (stem_lines (alpha s)) in
  check "disabling: causes stripped from the whole right operand" (contains text "{1:Q}2<{}R:2>{1:Q,2:R}")

(* A recursive process: one state after the first A. *)
let () =
  let s = [ (0, [ "A" ], Appel ([ "A" ], 1)); (1, [ "X" ], Préfixe ("X", Appel ([ "X" ], 1))) ] in
  check "recursion: alpha-reduced STEM" (stem_size (alpha s) = (2, 2));
  check "recursion: maximal-step graph" (G.gpm_size (gpm s) = (1, 1));
  (* A call of a process before any action adds no transition. *)
  let s = [ (0, [ "A" ], Appel ([ "A" ], 1)); (1, [ "X" ], Choix (Appel ([ "X" ], 1), Préfixe ("X", Stop))) ] in
  check "unguarded recursion" (stem_size (alpha s) = (2, 1))

(* Steps: a synchronisation is independent of a move of the other operand
   of the synchronised side; the branches of a choice exclude each other. *)
let () =
  let s = system [ "A"; "B" ] (Parallèlisme (Parallèlisme (a_nil, b_nil, []), a_nil, [ "A" ])) in
  check "synchronisation within a step" (edges (gpm s) 0 = [ ("A|B", 1) ]);
  let c_nil = Préfixe ("C", Stop) in
  let s = system [ "A"; "B"; "C" ] (Parallèlisme (Choix (a_nil, b_nil), c_nil, [])) in
  let g = gpm s in
  check "one maximal step per branch" (List.map fst (edges g 0) = [ "A|C"; "B|C" ]);
  check "both branches end alike" (G.gpm_size g = (2, 2));
  let s = system [ "A"; "B" ] (Choix (a_nil, Parallèlisme (a_nil, b_nil, []))) in
  check "a step inside a branch" (List.map fst (edges (gpm s) 0) = [ "A"; "A|B" ])

(* DOT: the initial state as a double circle, labels quoted and escaped. *)
let () =
  check "dot quoting" (dot_quote "a\"b\\c" = "\"a\\\"b\\\\c\"");
  let lines = stem_dot_lines (alpha (system [ "A" ] a_nil)) in
  check "dot of the STEM"
    (lines
    = [
        "digraph STEM {";
        "  S0 [shape=doublecircle, label=\"S0\\n{}\"];";
        "  S1 [shape=circle, label=\"S1\\n{1:A}\"];";
        "  S0 -> S1 [label=\"{}A:1\"];";
        "}";
      ])

let () =
  if !failures > 0 then exit 1;
  print_endline "OCaml modules: all tests pass."
